#include "ReceiveHandOver.h"

#include "ErrorPolicy.h"
#include "TrafficTap.h"
#include "midi/MidiDevices.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
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
    WakeDescriptor = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (WakeDescriptor < 0)
        throw std::runtime_error("The MIDI input cannot be read: no event descriptor is left.");
    Notifier = new QSocketNotifier(WakeDescriptor, QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, &TReceiveHandOver::Drain);
    midi::SetReceiveWake(WakeDescriptor);
}

TReceiveHandOver::~TReceiveHandOver()
{
    midi::SetReceiveWake(-1);
    delete Notifier;
    close(WakeDescriptor);
}

void TReceiveHandOver::Drain()
{
    std::uint64_t wakes = 0;
    [[maybe_unused]] const ssize_t read = ::read(WakeDescriptor, &wakes, sizeof wakes);
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
