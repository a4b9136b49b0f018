#pragma once

// What the window benchmarks start with: the offscreen platform unless another is asked for, a
// directory of their own for the settings files the windows read and write, and the time the
// instrument's answers take on a DIN cable.

#include "instrument/VirtualInstrument.h"
#include "midi/SysExText.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstddef>

inline constexpr double DinByteSeconds = 320e-6;

class TBenchApplication
{
public:
    TBenchApplication(int &argc, char **argv)
        : Platform(ChoosePlatform())
        , Application(argc, argv)
    {
        QDir::setCurrent(Dir.path());
    }

private:
    // Before the application is made, which reads it.
    static bool ChoosePlatform()
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return true;
    }

    bool Platform;
    QApplication Application;
    QTemporaryDir Dir;
};

// The bytes the built-in instrument answers to the requests (each with its hex Text), as time on
// a DIN cable.
template<typename TRequests>
double AnswersWireSeconds(const TRequests &requests)
{
    instrument::TVirtualInstrument instrument;
    std::size_t bytes = 0;
    for (const auto &request : requests) {
        midi::TByteStream message;
        midi::HexTextToSysEx(request.Text, message);
        for (const auto &answer : instrument.Receive(message))
            bytes += answer.size();
    }
    return static_cast<double>(bytes) * DinByteSeconds;
}

// The same, the requests' own bytes included: what an exchange takes on the cable at best.
template<typename TRequests>
double ExchangeWireSeconds(const TRequests &requests)
{
    std::size_t bytes = 0;
    for (const auto &request : requests) {
        midi::TByteStream message;
        midi::HexTextToSysEx(request.Text, message);
        bytes += message.size();
    }
    return static_cast<double>(bytes) * DinByteSeconds + AnswersWireSeconds(requests);
}
