// The virtual instrument as MIDI ports: what is sent reaches the instrument inside the send
// call, its answers come later on the provider's own thread after the time their bytes take on
// a DIN cable, and nothing reaches the receiver once the input port is closed.

#include "instrument/VirtualInstrumentPorts.h"
#include "support/MessageText.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

using instrument::TVirtualInstrument;
using instrument::TVirtualInstrumentProvider;
using TBytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

const TBytes SwitchRequest = RequestMessage({0, 0, 0, 0x08}, {0, 0, 0, 0x03});
const TBytes PatchRequest = RequestMessage({0x02, 0x00, 0x00, 0x00}, {0x00, 0x00, 0x17, 0x01});

// Collects deliveries with their thread and time.
struct TRecorder
{
    std::mutex Lock;
    std::vector<TBytes> Messages;
    std::vector<Clock::time_point> Times;
    std::vector<std::thread::id> Threads;
    std::atomic<int> Count {0};
    std::atomic<bool> Sending {false};
    std::atomic<int> DuringSend {0};
    std::atomic<bool> Closed {false};
    std::atomic<int> AfterClose {0};

    midi::IMidiInPort::Receiver Receiver()
    {
        return [this](const std::uint8_t *data, std::size_t size) { Record(data, size); };
    }
    void Record(const std::uint8_t *data, std::size_t size)
    {
        if (Sending)
            ++DuringSend;
        if (Closed)
            ++AfterClose;
        std::lock_guard lock(Lock);
        Messages.emplace_back(data, data + size);
        Times.push_back(Clock::now());
        Threads.push_back(std::this_thread::get_id());
        ++Count;
    }
};

struct TPorts
{
    explicit TPorts(std::chrono::microseconds byteTime)
        : Instrument(std::make_shared<TVirtualInstrument>())
        , Provider(std::make_unique<TVirtualInstrumentProvider>(Instrument, byteTime))
        , In(std::move(Provider->InputPorts().front()))
        , Out(std::move(Provider->OutputPorts().front()))
    {
        std::string error;
        Out->Open(error);
    }
    ~TPorts()
    {
        In->Close();
        Provider->Shutdown();
    }
    bool OpenIn(TRecorder &recorder)
    {
        std::string error;
        return In->Open(recorder.Receiver(), error);
    }
    bool Send(const TBytes &m, TRecorder *recorder = nullptr)
    {
        std::string error;
        if (recorder)
            recorder->Sending = true;
        const bool ok = Out->Send(m.data(), m.size(), error);
        if (recorder)
            recorder->Sending = false;
        return ok;
    }

    std::shared_ptr<TVirtualInstrument> Instrument;
    std::unique_ptr<TVirtualInstrumentProvider> Provider;
    std::unique_ptr<midi::IMidiInPort> In;
    std::unique_ptr<midi::IMidiOutPort> Out;
};

} // namespace

class TestInstrumentPorts : public QObject
{
    Q_OBJECT

private slots:
    void onePortEachWay()
    {
        auto instrument = std::make_shared<TVirtualInstrument>();
        TVirtualInstrumentProvider provider(instrument);
        const auto inputs = provider.InputPorts();
        const auto outputs = provider.OutputPorts();
        QCOMPARE(inputs.size(), std::size_t(1));
        QCOMPARE(outputs.size(), std::size_t(1));
        QCOMPARE(inputs[0]->Name(), std::string("Ombrix Virtual MC-307"));
        QCOMPARE(outputs[0]->Name(), std::string("Ombrix Virtual MC-307"));
        QCOMPARE(&provider.Instrument(), instrument.get());
    }

    void answerComesLaterOnAnotherThread()
    {
        TRecorder recorder;
        TPorts ports(1000us);
        QVERIFY(ports.OpenIn(recorder));
        const Clock::time_point sent = Clock::now();
        QVERIFY(ports.Send(SwitchRequest, &recorder));
        QTRY_COMPARE_WITH_TIMEOUT(recorder.Count.load(), 1, 5000);

        std::lock_guard lock(recorder.Lock);
        QCOMPARE(recorder.DuringSend.load(), 0);
        QVERIFY(recorder.Threads[0] != std::this_thread::get_id());
        const TBytes answer {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x00, 0x00,
                             0x00, 0x08, 0x01, 0x01, 0x01, 0x75, 0xF7};
        QCOMPARE(recorder.Messages[0], answer);
        // 16 bytes of request and 15 of answer on the cable.
        QVERIFY(recorder.Times[0] - sent >= 31 * 1000us);
    }

    void answersFollowOneAnotherOnTheCable()
    {
        TRecorder recorder;
        const auto byteTime = 200us;
        TPorts ports(byteTime);
        QVERIFY(ports.OpenIn(recorder));
        const Clock::time_point sent = Clock::now();
        QVERIFY(ports.Send(PatchRequest, &recorder));
        QVERIFY(ports.Send(SwitchRequest, &recorder));
        QTRY_COMPARE_WITH_TIMEOUT(recorder.Count.load(), 6, 5000);

        std::lock_guard lock(recorder.Lock);
        QCOMPARE(recorder.DuringSend.load(), 0);
        const std::vector<std::array<std::uint8_t, 2>> order {
            {0x00, 0x00}, {0x10, 0x00}, {0x12, 0x00}, {0x14, 0x00}, {0x16, 0x00}, {0x00, 0x08}};
        std::size_t bytes = PatchRequest.size();
        for (std::size_t i = 0; i < order.size(); ++i) {
            const TBytes &m = recorder.Messages[i];
            QCOMPARE((std::array<std::uint8_t, 2> {m[8], m[9]}), order[i]);
            bytes += m.size();
            QVERIFY2(recorder.Times[i] - sent >= byteTime * bytes,
                     qPrintable(QString("answer %1 came early").arg(i)));
            QVERIFY(recorder.Threads[i] != std::this_thread::get_id());
        }
    }

    void sendReachesTheInstrumentInsideTheCall()
    {
        TPorts ports(320us);
        // The input port is closed: the instrument still takes what it is sent.
        QVERIFY(ports.Send({0xB2, 0x07, 0x15}));
        QCOMPARE(ports.Instrument->ReadByte({1, 0, 0x12, 0x06}), std::uint8_t(0x15));
        QVERIFY(
            ports.Send({0x00, 0xF0, 0x41, 0x10, 0x3A, 0x12, 0x32, 0x55, 0x70, 0x00, 0x09, 0xF7}));
        QCOMPARE(ports.Instrument->ReadByte({1, 0, 0x12, 0x08}), std::uint8_t(0x60));
        QCOMPARE(ports.Instrument->Log().size(), std::size_t(2));
    }

    void nothingArrivesAfterClose()
    {
        TRecorder recorder;
        TPorts ports(1000us);
        QVERIFY(ports.OpenIn(recorder));
        QVERIFY(ports.Send(PatchRequest));
        QTRY_VERIFY_WITH_TIMEOUT(recorder.Count.load() >= 1, 5000);
        ports.In->Close();
        recorder.Closed = true;
        const int count = recorder.Count.load();
        QVERIFY(count < 5);
        // The whole patch takes about 660 ms on the cable.
        QTest::qWait(900);
        QCOMPARE(recorder.AfterClose.load(), 0);
        QCOMPARE(recorder.Count.load(), count);

        // Opened again: the lost answers do not come back, new ones do.
        recorder.Closed = false;
        QVERIFY(ports.OpenIn(recorder));
        QVERIFY(ports.Send(SwitchRequest));
        QTRY_COMPARE_WITH_TIMEOUT(recorder.Count.load(), count + 1, 5000);
        std::lock_guard lock(recorder.Lock);
        QCOMPARE(recorder.Messages.back()[9], std::uint8_t(0x08));
    }

    void closeWaitsForADeliveryInProgress()
    {
        std::atomic<bool> entered {false};
        std::atomic<bool> finished {false};
        TPorts ports(10us);
        std::string error;
        QVERIFY(ports.In->Open(
            [&](const std::uint8_t *, std::size_t) {
                entered = true;
                std::this_thread::sleep_for(150ms);
                finished = true;
            },
            error));
        QVERIFY(ports.Send(SwitchRequest));
        QTRY_VERIFY_WITH_TIMEOUT(entered.load(), 5000);
        ports.In->Close();
        QVERIFY(finished.load());
    }

    void receiverMayCloseOrSendFromInside()
    {
        TPorts ports(10us);
        std::atomic<int> calls {0};
        std::string error;
        // First: a receiver that sends a request of its own on its first call.
        QVERIFY(ports.In->Open(
            [&](const std::uint8_t *, std::size_t) {
                if (calls++ == 0) {
                    std::string sendError;
                    ports.Out->Send(SwitchRequest.data(), SwitchRequest.size(), sendError);
                }
            },
            error));
        QVERIFY(ports.Send(SwitchRequest));
        QTRY_COMPARE_WITH_TIMEOUT(calls.load(), 2, 5000);

        // Then: a receiver that closes its own port.
        calls = 0;
        QVERIFY(ports.In->Open(
            [&](const std::uint8_t *, std::size_t) {
                ++calls;
                ports.In->Close();
            },
            error));
        QVERIFY(ports.Send(PatchRequest));
        QTRY_COMPARE_WITH_TIMEOUT(calls.load(), 1, 5000);
        QTest::qWait(100);
        QCOMPARE(calls.load(), 1);
    }

    void answersWhileClosedAreLost()
    {
        TRecorder recorder;
        TPorts ports(10us);
        QVERIFY(ports.Send(SwitchRequest));
        QVERIFY(ports.OpenIn(recorder));
        QTest::qWait(100);
        QCOMPARE(recorder.Count.load(), 0);
        QVERIFY(ports.Send(SwitchRequest));
        QTRY_COMPARE_WITH_TIMEOUT(recorder.Count.load(), 1, 5000);
    }

    void outputMustBeOpen()
    {
        auto instrument = std::make_shared<TVirtualInstrument>();
        TVirtualInstrumentProvider provider(instrument);
        auto out = std::move(provider.OutputPorts().front());
        std::string error;
        QVERIFY(!out->Send(SwitchRequest.data(), SwitchRequest.size(), error));
        QVERIFY(QString::fromStdString(error).contains("Ombrix Virtual MC-307"));
        QVERIFY(instrument->Log().empty());
        QVERIFY(out->Open(error));
        QVERIFY(out->Send(SwitchRequest.data(), SwitchRequest.size(), error));
        out->Close();
        error.clear();
        QVERIFY(!out->Send(SwitchRequest.data(), SwitchRequest.size(), error));
        QVERIFY(!error.empty());
        QCOMPARE(instrument->Log().size(), std::size_t(1));
    }

    void shutdownEndsDeliveries()
    {
        TRecorder recorder;
        TPorts ports(10us);
        QVERIFY(ports.OpenIn(recorder));
        ports.Provider->Shutdown();
        ports.Provider->Shutdown();
        QVERIFY(ports.Send(SwitchRequest));
        QTest::qWait(100);
        QCOMPARE(recorder.Count.load(), 0);
        QCOMPARE(ports.Instrument->Log().size(), std::size_t(1));
    }

    void providerGoesWhileAnswersAreOnTheirWay()
    {
        TRecorder recorder;
        auto instrument = std::make_shared<TVirtualInstrument>();
        auto provider = std::make_unique<TVirtualInstrumentProvider>(instrument, 5000us);
        auto in = std::move(provider->InputPorts().front());
        auto out = std::move(provider->OutputPorts().front());
        std::string error;
        QVERIFY(in->Open(recorder.Receiver(), error));
        QVERIFY(out->Open(error));
        QVERIFY(out->Send(PatchRequest.data(), PatchRequest.size(), error));
        provider.reset();
        QTest::qWait(200);
        QCOMPARE(recorder.Count.load(), 0);
        // The ports outlive their provider: sending still reaches the instrument.
        QVERIFY(out->Send(SwitchRequest.data(), SwitchRequest.size(), error));
        QCOMPARE(instrument->Log().size(), std::size_t(2));
        in->Close();
    }
};

QTEST_GUILESS_MAIN(TestInstrumentPorts)
#include "tst_instrument_ports.moc"
