#pragma once

// A main window on the virtual instrument, made afresh for each test function: no settings
// file, errors recorded instead of shown, and the data sets the window sends read back from the
// instrument's log. It may also send through the paced output, to a strict instrument that drops
// a data set coming less than 20 ms after the previous one ended, as the MC-307 does.

#include "EditorTestSupport.h"
#include "ErrorRecorder.h"
#include "VirtualRig.h"
#include "controls/UndoCoordinator.h"
#include "editor/Ombrix.h"
#include "midi/MidiDevices.h"
#include "midi/PacedOutput.h"
#include "session/ErrorPolicy.h"
#include "session/RequestProcedure.h"
#include "sysex/InstrumentPacing.h"

#include <QFile>
#include <QObject>
#include <QTest>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

class TMainWindowFixture : public QObject, public TErrorRecorder
{
protected:
    // The instrument alone; the window comes with StartWindow or OpenPacedWindow.
    void StartRig(bool strict = false)
    {
        QFile::remove(QStringLiteral("Ombrix.INI"));
        Errors.clear();
        RecordErrors();
        Rig = std::make_unique<TVirtualRig>();
        Instrument().SetStrictTiming(strict);
    }
    void StartWindow()
    {
        StartRig();
        OpenWindow(midi::MidiOut());
    }
    // A window of its own undo histories, sending through outputs.
    void OpenWindow(midi::IMidiOuts &outputs)
    {
        Window.reset();
        Undo = std::make_unique<TUndoCoordinator>();
        Window = std::make_unique<TOmbrix>(outputs, *Undo);
    }
    // The window behind the paced output with the instrument's 20 ms gap, once its start-up
    // messages have all left.
    void OpenPacedWindow()
    {
        Paced = std::make_unique<midi::TPacedOutputs>(midi::MidiOut(), sysex::InstrumentPacing());
        Paced->SetGap(0, std::chrono::milliseconds(20));
        OpenWindow(*Paced);
        WaitSent();
    }
    // What the window still has queued has left, with the window's events dispatched meanwhile.
    void WaitSent() { QTRY_VERIFY_WITH_TIMEOUT(Paced->Device(0).Waiting() == 0, 15000); }
    // Every job the window queued has run.
    static void WaitForJobs()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!session::TRequestProcedure::Instance().Running(), 15000);
    }
    void StopWindow()
    {
        WaitForJobs();
        Window.reset();
        Undo.reset();
        Paced.reset();
        Rig.reset();
        StopRecordingErrors();
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
    std::unique_ptr<midi::TPacedOutputs> Paced;
    // The window's steps refer to its controls: the histories go after it.
    std::unique_ptr<TUndoCoordinator> Undo;
    std::unique_ptr<TOmbrix> Window;
};
