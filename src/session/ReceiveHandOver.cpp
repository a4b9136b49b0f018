#include "ReceiveHandOver.h"

#include "ErrorPolicy.h"
#include "EventLoop.h"
#include "TrafficTap.h"
#include "midi/MidiDevices.h"

#include <QCoreApplication>
#include <QPointer>

#include <stdexcept>

namespace session {

namespace {
QPointer<TReceiveHandOver> Program;
} // namespace

void TReceiveHandOver::Ensure()
{
    if (Program || !QCoreApplication::instance())
        return;
    Program = new TReceiveHandOver(QCoreApplication::instance());
}

TReceiveHandOver::TReceiveHandOver(QObject *parent)
    : QObject(parent)
{
    try {
        Wake = std::make_unique<midi::TWake>(EventLoop(), [this] { Drain(); });
    } catch (const std::runtime_error &e) {
        throw std::runtime_error(std::string("The MIDI input cannot be read: ") + e.what());
    }
    midi::SetReceiveWake(Wake.get());
}

TReceiveHandOver::~TReceiveHandOver()
{
    midi::SetReceiveWake(nullptr);
}

void TReceiveHandOver::Drain()
{
    Wake->Take();
    if (!midi::HasMidiIn())
        return;
    midi::TMidiInput &input = midi::MidiIn();
    input.Drain([&input](const midi::TReceived &received) {
        const std::string device = "MIDI input \"" + input.Name(received.Device) + "\"";
        if (received.Lost) {
            // Only while a window waits for answers is anything missed.
            if (input.HasOnSysEx())
                ReportError(device + ": " + std::to_string(received.Count)
                            + " messages came faster than they could be taken, and were lost.");
            return;
        }
        switch (received.Kind) {
        case midi::TReceiveRing::TKind::Message:
            RecordTraffic(false, input.Name(received.Device), received.Bytes);
            // A decoder takes a message's bytes up to its F7: it never gets one without it.
            if (!received.ForHandler || !midi::IsWholeSysEx(received.Bytes))
                break;
            // Looked up for each message: a request procedure that has ended gets nothing more.
            if (const midi::TSysExHandler handler = input.OnSysEx())
                RunHandler([&] { handler(received.Device, received.Bytes); });
            break;
        case midi::TReceiveRing::TKind::CutShort:
            RecordTraffic(false, input.Name(received.Device), received.Bytes);
            break;
        case midi::TReceiveRing::TKind::TooLong:
            if (input.HasOnSysEx())
                ReportError(device + ": a message of " + std::to_string(received.Count)
                            + " bytes was too long to be received, and was dropped.");
            break;
        case midi::TReceiveRing::TKind::Failure:
            ReportError(input.ErrorText(static_cast<midi::MMRESULT>(received.Count)));
            break;
        }
    });
}

} // namespace session
