// Detect in the setup dialog: it finds a real instrument on the system's devices (never the
// built-in one, device 0), through the Inquiry Request or, where nothing answers that, through a
// request of the system block for each device byte; a loop-back port's echo of our own request
// is no answer; nothing is saved before OK; Annuler stops a search; and when nothing answers the
// dialog says so and changes nothing.

#include "controls/DropDownList.h"
#include "controls/EditBox.h"
#include "instrument/VirtualInstrumentPorts.h"
#include "midi/MidiDevices.h"
#include "midi/MidiHub.h"
#include "midi/PacedOutput.h"
#include "session/Detect.h"
#include "session/ErrorPolicy.h"
#include "session/TrafficTap.h"
#include "setup/FormSetup.h"
#include "support/EditorTestSupport.h"
#include "support/ErrorRecorder.h"
#include "sysex/IdentityMessages.h"
#include "sysex/InstrumentPacing.h"
#include "sysex/MessageMeaning.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <mutex>

using TBytes = std::vector<std::uint8_t>;

namespace {

// A port pair that sends back whatever it is given, as a MIDI loop-back cable does. Unplugged,
// only its output is listed, and it cannot be opened (the cable was pulled since).
class TLoopBackProvider final : public midi::IMidiPortProvider
{
public:
    explicit TLoopBackProvider(bool unplugged = false) { State->Unplugged = unplugged; }
    std::vector<std::unique_ptr<midi::IMidiInPort>> InputPorts() override
    {
        std::vector<std::unique_ptr<midi::IMidiInPort>> ports;
        if (!State->Unplugged)
            ports.push_back(std::make_unique<TIn>(State));
        return ports;
    }
    std::vector<std::unique_ptr<midi::IMidiOutPort>> OutputPorts() override
    {
        std::vector<std::unique_ptr<midi::IMidiOutPort>> ports;
        ports.push_back(std::make_unique<TOut>(State));
        return ports;
    }
    // How many messages were sent to its output.
    int Sent() const
    {
        std::lock_guard lock(State->Lock);
        return State->SentCount;
    }

private:
    struct TState
    {
        std::mutex Lock;
        midi::IMidiInPort::Receiver Receiver;
        int SentCount = 0;
        bool Unplugged = false;
    };
    struct TIn final : midi::IMidiInPort
    {
        explicit TIn(std::shared_ptr<TState> state)
            : State(std::move(state))
        { }
        std::string Name() const override { return "Loop-back"; }
        bool Open(Receiver receiver, std::string &) override
        {
            std::lock_guard lock(State->Lock);
            State->Receiver = std::move(receiver);
            return true;
        }
        void Close() override
        {
            std::lock_guard lock(State->Lock);
            State->Receiver = nullptr;
        }
        std::shared_ptr<TState> State;
    };
    struct TOut final : midi::IMidiOutPort
    {
        explicit TOut(std::shared_ptr<TState> state)
            : State(std::move(state))
        { }
        std::string Name() const override { return "Loop-back"; }
        bool Open(std::string &error) override
        {
            if (State->Unplugged)
                error = "Loop-back is no longer available";
            return !State->Unplugged;
        }
        bool Send(const std::uint8_t *data, std::size_t size, std::string &) override
        {
            std::lock_guard lock(State->Lock);
            ++State->SentCount;
            if (State->Receiver)
                State->Receiver(data, size);
            return true;
        }
        void Close() override { }
        std::shared_ptr<TState> State;
    };
    std::shared_ptr<TState> State = std::make_shared<TState>();
};

// An instrument that answers no Inquiry Request: only its own kind of request.
class TNoInquiry final : public midi::IMidiPortProvider
{
public:
    explicit TNoInquiry(std::shared_ptr<instrument::TVirtualInstrumentProvider> inner)
        : Inner(std::move(inner))
    { }
    std::vector<std::unique_ptr<midi::IMidiInPort>> InputPorts() override
    {
        return Inner->InputPorts();
    }
    std::vector<std::unique_ptr<midi::IMidiOutPort>> OutputPorts() override
    {
        std::vector<std::unique_ptr<midi::IMidiOutPort>> ports;
        for (auto &port : Inner->OutputPorts())
            ports.push_back(std::make_unique<TFilter>(std::move(port)));
        return ports;
    }
    void Shutdown() override { Inner->Shutdown(); }

private:
    struct TFilter final : midi::IMidiOutPort
    {
        explicit TFilter(std::unique_ptr<midi::IMidiOutPort> port)
            : Port(std::move(port))
        { }
        std::string Name() const override { return Port->Name(); }
        bool Open(std::string &error) override { return Port->Open(error); }
        bool Send(const std::uint8_t *data, std::size_t size, std::string &error) override
        {
            if (size > 1 && data[1] == 0x7E)
                return true;
            return Port->Send(data, size, error);
        }
        void Close() override { Port->Close(); }
        std::unique_ptr<midi::IMidiOutPort> Port;
    };
    std::shared_ptr<instrument::TVirtualInstrumentProvider> Inner;
};

} // namespace

class TestSetupDetect : public QObject, public TErrorRecorder
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> Dir;
    std::unique_ptr<TFormSetup> Form;
    std::shared_ptr<instrument::TVirtualInstrument> Real;

    template<class T>
    T *Control(const char *name) const
    {
        return FindControl<T>(*Form, QString::fromLatin1(name));
    }
    QString Result() const { return Control<QLabel>("LabelSetup_Detect")->text(); }

    // Device 0: the built-in instrument (ID 17); then the given system providers.
    void Install(std::vector<std::shared_ptr<midi::IMidiPortProvider>> system)
    {
        midi::ShutdownMidi();
        std::vector<std::shared_ptr<midi::IMidiPortProvider>> providers {
            std::make_shared<instrument::TVirtualInstrumentProvider>(
                std::make_shared<instrument::TVirtualInstrument>(17))};
        providers.insert(providers.end(), system.begin(), system.end());
        midi::SetMidiService(std::make_shared<midi::TMidiHub>(std::move(providers)));
        Form = std::make_unique<TFormSetup>();
        Form->DetectorForTests().SettleWait = std::chrono::milliseconds(0);
        Form->DetectorForTests().InquiryWait = std::chrono::milliseconds(300);
        Form->DetectorForTests().FallbackWait = std::chrono::milliseconds(300);
        Form->show();
        QCoreApplication::processEvents();
    }
    std::shared_ptr<midi::IMidiPortProvider> RealInstrument(int id)
    {
        Real = std::make_shared<instrument::TVirtualInstrument>(id);
        return std::make_shared<instrument::TVirtualInstrumentProvider>(Real);
    }

private slots:
    void init()
    {
        Dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(Dir->path()));
        Errors.clear();
        RecordErrors();
    }
    void cleanup()
    {
        Form.reset();
        midi::ShutdownMidi();
        midi::SetMidiService(nullptr);
        StopRecordingErrors();
        QDir::setCurrent(QDir::tempPath());
        Dir.reset();
        QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str());
    }

    void repliesAreRecognised_data()
    {
        QTest::addColumn<TBytes>("reply");
        QTest::addColumn<int>("id");
        const TBytes good {0xF0, 0x7E, 0x16, 0x06, 0x02, 0x41, 0x0B, 0x01,
                           0x01, 0x00, 0x00, 0x03, 0x00, 0x00, 0xF7};
        QTest::newRow("MC-307, ID 23") << good << 23;
        TBytes first = good;
        first[2] = 0x10;
        QTest::newRow("MC-307, ID 17") << first << 17;
        TBytes shorter(good.begin(), good.end() - 2);
        shorter.push_back(0xF7);
        QTest::newRow("short") << shorter << 0;
        TBytes longer = good;
        longer.insert(longer.end() - 1, 0x00);
        QTest::newRow("long") << longer << 0;
        TBytes maker = good;
        maker[5] = 0x43;
        QTest::newRow("another maker") << maker << 0;
        TBytes family = good;
        family[6] = 0x0C;
        QTest::newRow("another family") << family << 0;
        // The model number and the revision differ between firmware versions.
        TBytes model = good;
        model[8] = 0x02;
        QTest::newRow("another model number") << model << 23;
        TBytes revision = good;
        revision[11] = 0x04;
        revision[13] = 0x01;
        QTest::newRow("another revision") << revision << 23;
        TBytes status = good;
        status[12] = 0x90;
        QTest::newRow("a status byte in the revision") << status << 0;
        TBytes request {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
        QTest::newRow("our own request") << request << 0;
        TBytes device = good;
        device[2] = 0x7F;
        QTest::newRow("no device byte") << device << 0;
    }
    void repliesAreRecognised()
    {
        QFETCH(TBytes, reply);
        QFETCH(int, id);
        const std::optional<int> found = sysex::InquiryReplyId(reply);
        QCOMPARE(found.value_or(0), id);
    }

    void systemBlockRepliesAreRecognised()
    {
        instrument::TVirtualInstrument instrument(29);
        for (int byte = 0x10; byte <= 0x1F; ++byte) {
            const auto answers = instrument.Receive(sysex::SystemBlockRequest(byte));
            QCOMPARE(answers.empty(), byte != 28);
            if (!answers.empty()) {
                QCOMPARE(sysex::SystemBlockReplyId(answers.front()).value_or(0), 29);
                TBytes broken = answers.front();
                broken[11] ^= 1;
                QVERIFY(!sysex::SystemBlockReplyId(broken));
            }
        }
        QVERIFY(!sysex::SystemBlockReplyId(sysex::SystemBlockRequest(0x10)));
    }

    void findsTheInstrumentBehindALoopBack()
    {
        Install({std::make_shared<TLoopBackProvider>(), RealInstrument(23)});
        // Devices: 0 built-in, 1 loop-back, 2 the instrument.
        Control<QPushButton>("DetectBtn")->click();
        QCOMPARE(Result(),
                 QStringLiteral("MC-307, ID 23: Ombrix Virtual MC-307 / Ombrix "
                                "Virtual MC-307"));
        QCOMPARE(Control<TDropDownList>("LBSetup_Midi_in")->ItemIndex(), 2);
        QCOMPARE(Control<TDropDownList>("LBSetup_Midi_out")->ItemIndex(), 2);
        QCOMPARE(Control<TEditBox>("EditSetup_Id")->text(), QStringLiteral("23"));
        // Nothing is saved until OK.
        QVERIFY(!QFile::exists(QStringLiteral("Ombrix.INI")));
        Control<QPushButton>("OKBtn")->click();
        QFile file(QStringLiteral("Ombrix.INI"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().startsWith("2\r\n2\r\n23\r\n"));
    }

    // The search closes the devices it opened, except those the dialog ends with: what they
    // receive would otherwise reach the windows.
    void closesWhatTheSearchOpened_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("pickOther");
        QTest::addColumn<bool>("keptOpen");
        QTest::newRow("OK keeps the devices found") << "OKBtn" << false << true;
        QTest::newRow("Annuler closes them") << "CancelBtn" << false << false;
        QTest::newRow("OK with others chosen closes them") << "OKBtn" << true << false;
    }
    void closesWhatTheSearchOpened()
    {
        QFETCH(QString, button);
        QFETCH(bool, pickOther);
        QFETCH(bool, keptOpen);
        Install({std::make_shared<TLoopBackProvider>(), RealInstrument(23),
                 std::make_shared<TLoopBackProvider>()});
        midi::MidiIn().Open(3);
        Control<QPushButton>("DetectBtn")->click();
        QVERIFY(Result().startsWith("MC-307, ID 23"));
        const auto open
            = [](midi::TMidiDevices &devices, int index) { return devices.Handle(index) != 0; };
        // Devices: 0 built-in, 1 loop-back, 2 the instrument, 3 a loop-back open before.
        QVERIFY(!open(midi::MidiIn(), 1) && !open(midi::MidiOut(), 1) && !open(midi::MidiOut(), 3));
        QVERIFY(open(midi::MidiIn(), 2) && open(midi::MidiOut(), 2) && open(midi::MidiIn(), 3));
        if (pickOther) {
            Control<TDropDownList>("LBSetup_Midi_in")->SetItemIndex(1);
            Control<TDropDownList>("LBSetup_Midi_out")->SetItemIndex(1);
        }
        Control<QPushButton>(button.toLatin1().constData())->click();
        QCOMPARE(open(midi::MidiIn(), 2), keptOpen);
        QCOMPARE(open(midi::MidiOut(), 2), keptOpen);
        QVERIFY(open(midi::MidiIn(), 3));
    }

    // Given the windows' outputs, Detect sends through them: its requests wait their turn in the
    // device's queue, and the monitor hears them.
    void requestsGoThroughTheWindowsOutputs()
    {
        Install({RealInstrument(23)});
        midi::TPacedOutputs paced(midi::MidiOut(), sysex::InstrumentPacing());
        session::TMonitoredOutputs monitored(paced);
        Form->SendThrough(monitored);
        QStringList heard;
        session::SetTrafficSink([&heard](const session::TTraffic &traffic) {
            if (traffic.Sent)
                heard << QString::fromStdString(std::string(traffic.Device) + ": "
                                                + sysex::MessageMeaning(traffic.Bytes));
        });
        Control<QPushButton>("DetectBtn")->click();
        session::SetTrafficSink(nullptr);
        QCOMPARE(Control<TEditBox>("EditSetup_Id")->text(), QStringLiteral("23"));
        QCOMPARE(heard, QStringList {"Ombrix Virtual MC-307: Inquiry Request"});
    }

    void fallsBackToAskingEachDeviceByte()
    {
        Install({std::make_shared<TNoInquiry>(
            std::static_pointer_cast<instrument::TVirtualInstrumentProvider>(RealInstrument(30)))});
        Control<QPushButton>("DetectBtn")->click();
        QCOMPARE(Result(),
                 QStringLiteral("MC-307, ID 30: Ombrix Virtual MC-307 / Ombrix Virtual MC-307"));
        QCOMPARE(Control<TEditBox>("EditSetup_Id")->text(), QStringLiteral("30"));
        QCOMPARE(Control<TDropDownList>("LBSetup_Midi_out")->ItemIndex(), 1);
    }

    void nothingAnswersAndNothingChanges()
    {
        Install({std::make_shared<TLoopBackProvider>(), std::make_shared<TLoopBackProvider>()});
        Control<TEditBox>("EditSetup_Id")->setText(QStringLiteral("20"));
        Control<TDropDownList>("LBSetup_Midi_out")->SetItemIndex(0);
        Control<QPushButton>("DetectBtn")->click();
        QCOMPARE(Result(), QStringLiteral("No MC-307 answered on 2 output ports"));
        QCOMPARE(Control<TEditBox>("EditSetup_Id")->text(), QStringLiteral("20"));
        QCOMPARE(Control<TDropDownList>("LBSetup_Midi_out")->ItemIndex(), 0);
        QVERIFY(Form->isVisible());
        for (int i = 1; i < 3; ++i)
            QVERIFY(midi::MidiIn().Handle(i) == 0 && midi::MidiOut().Handle(i) == 0);
    }

    void countsOnlyTheOutputsItAsked()
    {
        Install({std::make_shared<TLoopBackProvider>(), std::make_shared<TLoopBackProvider>(true)});
        Control<QPushButton>("DetectBtn")->click();
        QCOMPARE(Result(), QStringLiteral("No MC-307 answered on 1 output ports"));
    }

    void builtInInstrumentIsNeverTheAnswer()
    {
        Install({});
        Control<QPushButton>("DetectBtn")->click();
        QCOMPARE(Result(), QStringLiteral("No MC-307 answered on 0 output ports"));
    }

    void annulerStopsTheSearch()
    {
        const auto second = std::make_shared<TLoopBackProvider>();
        Install({std::make_shared<TLoopBackProvider>(), second});
        Form->DetectorForTests().InquiryWait = std::chrono::milliseconds(3000);
        bool sawProgress = false;
        QTimer::singleShot(200, Form.get(), [&] {
            sawProgress = Result().startsWith("Asking Loop-back");
            QVERIFY(Form->Detecting());
            // The dialog stays usable meanwhile.
            Control<TDropDownList>("LBSetup_Midi_in")->SetItemIndex(1);
            Control<QPushButton>("CancelBtn")->click();
        });
        Control<QPushButton>("DetectBtn")->click();
        // Stopped while the first output was asked: the second never was.
        QCOMPARE(second->Sent(), 0);
        QVERIFY(sawProgress);
        QCOMPARE(Result(), QStringLiteral("Search stopped"));
        QVERIFY(Form->isVisible());
        QVERIFY(Control<QPushButton>("DetectBtn")->isEnabled());
        Control<QPushButton>("CancelBtn")->click();
        QVERIFY(!Form->isVisible());
    }
};

QTEST_MAIN(TestSetupDetect)
#include "tst_setup_detect.moc"
