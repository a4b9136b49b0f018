// The hub: ports in provider order behind the service contract, with the device sets on top.

#include "midi/MidiDevices.h"
#include "midi/MidiError.h"
#include "midi/MidiHub.h"
#include "midi/ReceiveRing.h"
#include "session/ErrorPolicy.h"
#include "session/EventLoop.h"
#include "session/ReceiveHandOver.h"
#include "support/DeliveryRecorder.h"
#include "support/ErrorRecorder.h"
#include "support/MessageText.h"

#include <QtTest>
#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

using namespace midi;

namespace {
// Ports that tests drive by hand: play input on any thread, fail on demand, record sends.
struct TScript
{
    std::mutex Lock;
    IMidiInPort::Receiver Receiver;
    bool FailOpen = false;
    bool FailSend = false;
    std::vector<std::vector<std::uint8_t>> Sent;
    int Closes = 0;

    void Play(const std::vector<std::uint8_t> &bytes)
    {
        IMidiInPort::Receiver receiver;
        {
            std::lock_guard lock(Lock);
            receiver = Receiver;
        }
        if (receiver)
            receiver(bytes.data(), bytes.size());
    }
};

class TScriptedProvider final : public IMidiPortProvider
{
public:
    TScriptedProvider(std::string name, std::shared_ptr<TScript> script)
        : PortName(std::move(name))
        , Script(std::move(script))
    { }
    std::vector<std::unique_ptr<IMidiInPort>> InputPorts() override
    {
        std::vector<std::unique_ptr<IMidiInPort>> ports;
        ports.push_back(std::make_unique<In>(PortName, Script));
        return ports;
    }
    std::vector<std::unique_ptr<IMidiOutPort>> OutputPorts() override
    {
        std::vector<std::unique_ptr<IMidiOutPort>> ports;
        ports.push_back(std::make_unique<Out>(PortName, Script));
        return ports;
    }

private:
    struct In final : IMidiInPort
    {
        In(std::string name, std::shared_ptr<TScript> script)
            : PortName(name)
            , Script(script)
        { }
        std::string Name() const override { return PortName; }
        bool Open(Receiver receiver, std::string &error) override
        {
            std::lock_guard lock(Script->Lock);
            if (Script->FailOpen) {
                error = "the cable is unplugged";
                return false;
            }
            Script->Receiver = std::move(receiver);
            return true;
        }
        void Close() override
        {
            std::lock_guard lock(Script->Lock);
            Script->Receiver = nullptr;
            ++Script->Closes;
        }
        std::string PortName;
        std::shared_ptr<TScript> Script;
    };
    struct Out final : IMidiOutPort
    {
        Out(std::string name, std::shared_ptr<TScript> script)
            : PortName(name)
            , Script(script)
        { }
        std::string Name() const override { return PortName; }
        bool Open(std::string &error) override
        {
            std::lock_guard lock(Script->Lock);
            if (Script->FailOpen)
                error = "the cable is unplugged";
            return !Script->FailOpen;
        }
        bool Send(const std::uint8_t *data, std::size_t size, std::string &error) override
        {
            std::lock_guard lock(Script->Lock);
            if (Script->FailSend) {
                error = "the device disappeared";
                return false;
            }
            Script->Sent.emplace_back(data, data + size);
            return true;
        }
        void Close() override { }
        std::string PortName;
        std::shared_ptr<TScript> Script;
    };
    std::string PortName;
    std::shared_ptr<TScript> Script;
};
} // namespace

class TestHub : public QObject
{
    Q_OBJECT

    std::shared_ptr<TScript> First;
    std::shared_ptr<TScript> Second;
    TDeliveryRecorder Input;

private slots:
    void init()
    {
        session::TReceiveHandOver::Ensure();
        First = std::make_shared<TScript>();
        Second = std::make_shared<TScript>();
        Input.Deliveries.clear();
        SetMidiService(std::make_shared<TMidiHub>(std::vector<std::shared_ptr<IMidiPortProvider>> {
            std::make_shared<TScriptedProvider>("Built-in", First),
            std::make_shared<TScriptedProvider>("A very long system MIDI port name here",
                                                Second)}));
        session::SetErrorReporter([](const std::string &) {});
    }
    void cleanup()
    {
        ShutdownMidi();
        SetMidiService(nullptr);
        session::SetErrorReporter(nullptr);
    }

    void devicesInProviderOrder()
    {
        QCOMPARE(MidiIn().Count(), 2);
        QCOMPARE(MidiOut().Count(), 2);
        QCOMPARE(MidiIn().Name(0), std::string("Built-in"));
        QCOMPARE(MidiOut().Name(1),
                 std::string("A very long system MIDI port na"
                             "m"));
    }

    // The system interface's wake: raised on other threads, seen on the window thread; taken,
    // it stays quiet until raised again.
    void wakeReachesTheWindowThread()
    {
        int seen = 0;
        bool onWindowThread = true;
        midi::TWake *wakePointer = nullptr;
        midi::TWake wake(session::EventLoop(), [&] {
            onWindowThread = onWindowThread && QThread::currentThread() == qApp->thread();
            ++seen;
            wakePointer->Take();
        });
        wakePointer = &wake;
        std::thread raiser([&] {
            for (int i = 0; i < 3; ++i)
                wake.Raise();
        });
        raiser.join();
        QTRY_VERIFY(seen >= 1);
        const int afterTaking = seen;
        QTest::qWait(50);
        QCOMPARE(seen, afterTaking);
        wake.Raise();
        QTRY_COMPARE(seen, afterTaking + 1);
        QVERIFY(onWindowThread);
    }

    void deliveriesFromAnotherThread()
    {
        MidiIn().Open(1);
        Input.Attach();
        std::thread port([&] {
            for (int i = 0; i < 50; ++i)
                Second->Play(SysExOfSize(20 + i));
        });
        port.join();
        QTRY_COMPARE(Input.Deliveries.size(), std::size_t(50));
        for (int i = 0; i < 50; ++i) {
            QCOMPARE(Input.Deliveries[i].Index, 1);
            QCOMPARE(Input.Deliveries[i].Bytes.size(), std::size_t(20 + i));
        }
    }

    // A message longer than the buffer comes as consecutive buffers, each queued again in time,
    // and is handed on joined again.
    void longMessageFillsSeveralBuffers()
    {
        MidiIn().Open(0);
        Input.Attach();
        auto message = SysExOfSize(TReceiveRing::SlotSize);
        for (std::size_t i = 1; i + 1 < message.size(); ++i)
            message[i] = static_cast<std::uint8_t>(i & 0x7F);
        First->Play(message);
        QTRY_COMPARE(Input.Deliveries.size(), std::size_t(1));
        QCOMPARE(Input.Deliveries[0].Bytes, message);
    }

    void shortMessagesAreNotDelivered()
    {
        MidiIn().Open(0);
        Input.Attach();
        First->Play({0xB0, 0x07, 0x64});
        First->Play({0xF8});
        First->Play(SysExOfSize(3));
        QTRY_COMPARE(Input.Deliveries.size(), std::size_t(1));
    }

    // A piece that holds short messages ahead of a System Exclusive message (one JACK event
    // may) loses none of it.
    void messagesAfterShortOnesInOnePiece_data()
    {
        QTest::addColumn<std::vector<std::uint8_t>>("ahead");
        QTest::newRow("Active Sensing") << std::vector<std::uint8_t> {0xFE};
        QTest::newRow("two control changes")
            << std::vector<std::uint8_t> {0xB0, 0x07, 0x64, 0xB0, 0x0A, 0x40};
        QTest::newRow("a program change") << std::vector<std::uint8_t> {0xC0, 0x05};
    }
    void messagesAfterShortOnesInOnePiece()
    {
        QFETCH(std::vector<std::uint8_t>, ahead);
        MidiIn().Open(0);
        Input.Attach();
        const auto message = SysExOfSize(20);
        std::vector<std::uint8_t> piece = ahead;
        piece.insert(piece.end(), message.begin(), message.end());
        First->Play(piece);
        QTRY_COMPARE(Input.Deliveries.size(), std::size_t(1));
        QCOMPARE(Input.Deliveries[0].Bytes, message);
    }

    void closedOrStoppedDeviceDeliversNothing()
    {
        MidiIn().Open(0);
        Input.Attach();
        MidiIn().Close(0);
        QCOMPARE(First->Closes, 1);
        First->Play(SysExOfSize(10));
        QTest::qWait(20);
        QVERIFY(Input.Deliveries.empty());
        // Opened again, it works again.
        MidiIn().Open(0);
        First->Play(SysExOfSize(10));
        QTRY_COMPARE(Input.Deliveries.size(), std::size_t(1));
    }

    void sendsReachThePort()
    {
        MidiOut().Open(1);
        MidiOut().SendSysExText(1, "F0 41 10 00 0B 12 02 00 10 65 7F");
        MidiOut().SendShort(1, 0xB9, 0x0A, 0x00);
        MidiOut().SendShort(1, 0xC0, 0x05, 0x00);
        QCOMPARE(Second->Sent.size(), std::size_t(3));
        QCOMPARE(Second->Sent[0].size(), std::size_t(13));
        QCOMPARE(Second->Sent[1], (std::vector<std::uint8_t> {0xB9, 0x0A, 0x00}));
        QCOMPARE(Second->Sent[2], (std::vector<std::uint8_t> {0xC0, 0x05}));
        QVERIFY(First->Sent.empty());
    }

    // Failures of the system's devices come back as result codes with clear texts.
    void failuresHaveClearTexts()
    {
        Second->FailOpen = true;
        QCOMPARE(ErrorOf([] { MidiIn().Open(1); }),
                 QString("A very long system MIDI port name here: the cable is unplugged"));
        QCOMPARE(MidiIn().Handle(1), std::uintptr_t(0));
        QCOMPARE(ErrorOf([] { MidiOut().Open(1); }),
                 QString("A very long system MIDI port name here: the cable is unplugged"));
        Second->FailOpen = false;
        MidiOut().Open(1);
        Second->FailSend = true;
        QCOMPARE(ErrorOf([] { MidiOut().SendSysExText(1, "F0 41"); }),
                 QString("A very long system MIDI port name here: the device disappeared"));
        QCOMPARE(ErrorOf([] { MidiOut().SendShort(1, 0xB0, 7, 1); }),
                 QString("A very long system MIDI port name here: the device disappeared"));
        QCOMPARE(ErrorOf([] { MidiOut().SendSysExText(0, "F0 41"); }),
                 QString("The MIDI device is not open (invalid device handle)."));
    }

    void serviceContract()
    {
        IMidiService &service = MidiService();
        HMIDIIN handle = 0;
        QCOMPARE(service.midiInOpen(&handle, 7, nullptr, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
        QCOMPARE(service.midiInOpen(&handle, 0, nullptr, 0, 0x12345), MMSYSERR_INVALFLAG);
        QCOMPARE(service.midiInOpen(&handle, 0, nullptr, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
        QCOMPARE(service.midiInOpen(&handle, 0, nullptr, 0, CALLBACK_NULL), MMSYSERR_ALLOCATED);
        std::array<std::uint8_t, 16> buffer {};
        MIDIHDR header;
        header.lpData = buffer.data();
        header.dwBufferLength = buffer.size();
        QCOMPARE(service.midiInAddBuffer(handle, &header, MIDIHDR_SIZE), MIDIERR_UNPREPARED);
        QCOMPARE(service.midiInPrepareHeader(handle, &header, MIDIHDR_SIZE), MMSYSERR_NOERROR);
        QCOMPARE(service.midiInAddBuffer(handle, &header, MIDIHDR_SIZE), MMSYSERR_NOERROR);
        QCOMPARE(service.midiInUnprepareHeader(handle, &header, MIDIHDR_SIZE),
                 MIDIERR_STILLPLAYING);
        QCOMPARE(service.midiInClose(handle), MIDIERR_STILLPLAYING);
        QCOMPARE(service.midiInReset(handle), MMSYSERR_NOERROR);
        QVERIFY(header.dwFlags & MHDR_DONE);
        QCOMPARE(header.dwBytesRecorded, 0u);
        QCOMPARE(service.midiInUnprepareHeader(handle, &header, MIDIHDR_SIZE), MMSYSERR_NOERROR);
        QCOMPARE(service.midiInClose(handle), MMSYSERR_NOERROR);
        QCOMPARE(service.midiInStart(handle), MMSYSERR_INVALHANDLE);
        char text[MAXERRORLENGTH];
        QCOMPARE(service.midiInGetErrorTextA(0x7777, text, sizeof text), MMRESULT(9));
        QCOMPARE(service.midiInGetErrorTextA(MMSYSERR_INVALHANDLE, text, 10), MMSYSERR_NOERROR);
        QCOMPARE(std::strlen(text), std::size_t(9));
        QCOMPARE(service.midiOutShortMsg(0x2000, 0x40), MMSYSERR_INVALHANDLE);
    }

    // The ring between a delivery thread and the window thread, driven through its rules: what
    // fits arrives whole and in order; what does not fit is recorded as lost or too long, never
    // cut.
    void receiveRingKeepsWholeMessagesOrSaysSo()
    {
        TReceiveRing ring;
        const auto write = [&ring](std::size_t size, std::size_t pieces) {
            std::vector<std::uint8_t> bytes(size);
            for (std::size_t i = 0; i < size; ++i)
                bytes[i] = static_cast<std::uint8_t>(i * 7 + size);
            const std::size_t step = std::max<std::size_t>(1, size / pieces);
            for (std::size_t at = 0; at < size; at += step)
                ring.Append(std::span(bytes).subspan(at, std::min(step, size - at)));
            return ring.Commit();
        };
        const std::size_t sizes[]
            = {1, 2, 141, 2048, 2049, TReceiveRing::SlotSize, TReceiveRing::SlotSize + 1, 10000};
        for (std::size_t size : sizes) {
            for (std::size_t pieces : {1, 3}) {
                QVERIFY(write(size, pieces));
                const TReceiveRing::TEntry *entry = ring.Front();
                QVERIFY(entry);
                QCOMPARE(entry->Size, std::uint32_t(size));
                const bool fits = size <= TReceiveRing::SlotSize;
                QCOMPARE(entry->Kind,
                         fits ? TReceiveRing::TKind::Message : TReceiveRing::TKind::TooLong);
                for (std::size_t i = 0; fits && i < size; ++i)
                    QCOMPARE(entry->Message()[i], static_cast<std::uint8_t>(i * 7 + size));
                ring.Pop();
                QVERIFY(!ring.Front());
            }
        }
        // Full: the next messages are counted as lost, and the ring works on once read.
        for (std::size_t i = 0; i < TReceiveRing::SlotCount; ++i)
            QVERIFY(write(3, 1));
        QVERIFY(!write(3, 1));
        QVERIFY(!ring.PushFailure(5));
        QCOMPARE(ring.Lost(), std::uint64_t(2));
        ring.Pop();
        QVERIFY(ring.PushFailure(5));
        for (std::size_t i = 1; i < TReceiveRing::SlotCount; ++i)
            ring.Pop();
        QCOMPARE(ring.Front()->Kind, TReceiveRing::TKind::Failure);
        QCOMPARE(ring.Front()->Code, std::uint32_t(5));
    }

    // A flood from a delivery thread while the window thread attaches and detaches the handler:
    // whatever arrives is whole and in order; with the handler attached throughout, every message
    // either arrives or is reported lost.
    void floodWhileTheHandlerComesAndGoes()
    {
        TErrorRecorder recorder;
        recorder.RecordErrors();
        MidiIn().Open(1);
        constexpr int Count = 10000;
        std::vector<int> seen;
        const TSysExHandler handler = [&seen](std::int32_t, std::span<const std::uint8_t> bytes) {
            if (bytes.size() == 8 && bytes.front() == 0xF0 && bytes.back() == 0xF7)
                seen.push_back(bytes[1] * 128 + bytes[2]);
            else
                seen.push_back(-1);
        };
        const auto flood = [this](std::atomic<bool> &done) {
            for (int i = 0; i < Count; ++i) {
                Second->Play(
                    {0xF0, std::uint8_t(i / 128), std::uint8_t(i % 128), 1, 2, 3, 4, 0xF7});
                if (i % 16 == 0)
                    std::this_thread::yield();
            }
            done = true;
        };
        for (const bool toggling : {true, false}) {
            seen.clear();
            recorder.Errors.clear();
            MidiIn().SetOnSysEx(handler);
            std::atomic<bool> done {false};
            std::thread port(flood, std::ref(done));
            for (int turn = 0; !done; ++turn) {
                QCoreApplication::processEvents();
                if (toggling)
                    MidiIn().SetOnSysEx(turn % 3 == 0 ? nullptr : handler);
            }
            port.join();
            MidiIn().SetOnSysEx(handler);
            QTest::qWait(50);
            QVERIFY(std::adjacent_find(seen.begin(), seen.end(), std::greater_equal<int>())
                    == seen.end());
            QVERIFY(seen.empty() || seen.front() >= 0);
            if (!toggling) {
                std::size_t lost = 0;
                for (const std::string &error : recorder.Errors)
                    lost += std::stoul(error.substr(error.find(": ") + 2));
                QCOMPARE(seen.size() + lost, std::size_t(Count));
            }
        }
    }

    void shutdownStopsEverything()
    {
        MidiIn().Open(0);
        Input.Attach();
        First->Play(SysExOfSize(10)); // queued to the window thread, not yet run
        ShutdownMidi();
        First->Play(SysExOfSize(10));
        QTest::qWait(20);
        QVERIFY(Input.Deliveries.empty());
        HMIDIIN handle = 0;
        QCOMPARE(MidiService().midiInOpen(&handle, 0, nullptr, 0, CALLBACK_NULL),
                 MMSYSERR_NODRIVER);
    }
};

QTEST_GUILESS_MAIN(TestHub)
#include "tst_session_hub.moc"
