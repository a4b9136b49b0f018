#pragma once

// A mixer window for a test class: the main window's settings it reads at each opening (output
// 0, device ID 17), errors recorded instead of shown, its controls found by name, and the modal
// opening the main window's menu runs. The test chooses the outputs the window is given and the
// input its openings listen to.

#include "EditorTestSupport.h"
#include "ErrorRecorder.h"
#include "controls/EditBox.h"
#include "controls/ReceiveLog.h"
#include "mixer/FormMixer.h"
#include "session/ErrorPolicy.h"

#include <QCheckBox>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TMixerWindowFixture : public QObject, public TErrorRecorder
{
protected:
    void StartWindow(midi::IMidiOuts &outputs)
    {
        // Delay time texts with a decimal point.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Errors.clear();
        RecordErrors();
        Form = std::make_unique<TFormMixer>([] { return TMainWindowSettings {0, 17}; }, outputs);
    }
    void StopWindow()
    {
        Form.reset();
        StopRecordingErrors();
    }

    template<class T>
    T *Find(const QString &name)
    {
        return FindControl<T>(*Form, name);
    }
    QScrollBar *Bar(const QString &name) { return Find<QScrollBar>(name); }
    TEditBox *Box(const QString &name) { return Find<TEditBox>(name); }
    TDropDownList *List(const QString &name) { return Find<TDropDownList>(name); }
    QCheckBox *Check(const QString &name) { return Find<QCheckBox>(name); }
    // The receive log's whole text.
    QString Log() { return Find<TReceiveLog>(QStringLiteral("EditBPM"))->Text(); }

    std::vector<std::string> TakeErrors() { return std::exchange(Errors, {}); }

    // Opens the window modally as the main window does and, once it is up, runs `whileOpen`
    // and presses OK.
    int Open(const std::function<void()> &whileOpen = {})
    {
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, this, [&] {
            if (Form->IsOpening() || !Form->windowHandle() || !Form->windowHandle()->isVisible())
                return;
            poll.stop();
            if (whileOpen)
                whileOpen();
            Find<QPushButton>(QStringLiteral("OKBtn"))->click();
        });
        poll.start();
        return Form->exec();
    }

    std::unique_ptr<TFormMixer> Form;
};
