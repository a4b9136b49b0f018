#pragma once

// What a fuzz target or a benchmark needs before it makes a window: an offscreen application
// working in a directory of its own (where a settings file may land), every error report ending the
// run, and a MIDI world whose one output device takes every message and whose input never delivers.

#include "midi/MidiDevices.h"
#include "midi/MidiHub.h"
#include "session/ErrorPolicy.h"
#include "support/DiscardingPorts.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

class TDiscardingApplication
{
public:
    TDiscardingApplication()
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        Application = std::make_unique<QApplication>(Argc, Argv);
        QDir::setCurrent(Dir.path());
        session::SetErrorReporter([](const std::string &) { std::abort(); });
        midi::SetMidiService(std::make_shared<midi::TMidiHub>(
            std::vector<std::shared_ptr<midi::IMidiPortProvider>> {Discard}));
    }
    ~TDiscardingApplication()
    {
        midi::ShutdownMidi();
        midi::SetMidiService(nullptr);
    }
    TDiscardingApplication(const TDiscardingApplication &) = delete;
    TDiscardingApplication &operator=(const TDiscardingApplication &) = delete;

    // How many messages the windows have sent.
    std::uint64_t Sent() const { return Discard->Messages(); }

private:
    int Argc = 1;
    char Name[8] = "ombrix";
    char *Argv[2] = {Name, nullptr};
    std::unique_ptr<QApplication> Application;
    QTemporaryDir Dir;
    std::shared_ptr<TDiscardingProvider> Discard = std::make_shared<TDiscardingProvider>();
};
