#pragma once

// A main window on the virtual instrument, made afresh for each test function: no settings
// file, errors recorded instead of shown, and the data sets the window sends read back from the
// instrument's log.

#include "EditorTestSupport.h"
#include "VirtualRig.h"
#include "editor/Ombrix.h"
#include "midi/MidiDevices.h"
#include "protocol/Handlers.h"

#include <QFile>
#include <QObject>
#include <memory>
#include <string>
#include <vector>

class TMainWindowFixture : public QObject
{
protected:
    void StartWindow()
    {
        QFile::remove(QStringLiteral("Ombrix.INI"));
        Errors.clear();
        protocol::SetErrorReporter([this](const std::string &text) { Errors.push_back(text); });
        Rig = std::make_unique<TVirtualRig>();
        Window = std::make_unique<TOmbrix>(midi::MidiOut());
    }
    void StopWindow()
    {
        Window.reset();
        Rig.reset();
        protocol::SetErrorReporter(nullptr);
        QFile::remove(QStringLiteral("Ombrix.INI"));
    }

    instrument::TVirtualInstrument &Instrument() { return Rig->Instrument(); }
    template<class T>
    T *Find(const QString &name)
    {
        return FindControl<T>(*Window, name);
    }
    // Runs an action and returns the data sets it sent.
    template<class F>
    QStringList SentBy(F &&action)
    {
        const std::size_t before = Instrument().Log().size();
        action();
        return DataSets(LogSince(Instrument(), before));
    }

    std::unique_ptr<TVirtualRig> Rig;
    std::unique_ptr<TOmbrix> Window;
    std::vector<std::string> Errors;
};
