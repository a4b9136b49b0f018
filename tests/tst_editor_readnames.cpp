// File > Read Patch Names... against the strict instrument through the paced output, on a bank
// whose patches are named after their numbers: every name asked for lands in the settings file
// (its first three lines kept byte for byte), a patch that does not answer keeps its old name and
// is counted, the other actions wait, nothing is dropped, and the part whose temporary patch was
// edited ends byte for byte as it was, after a whole read and after a cancel alike (and is not
// read at all when its patch does not come whole); a device that goes away halfway leaves the
// names read so far and one error that says the part could not be restored.

#include "controls/DropDownList.h"
#include "controls/RadioGroup.h"
#include "editor/NameReader.h"
#include "midi/MidiError.h"
#include "settings/SettingsFile.h"
#include "support/MainWindowFixture.h"
#include "support/PassingOutputs.h"
#include "support/RawFile.h"
#include "sysex/RolandMessage.h"

#include <QAction>
#include <QLabel>
#include <QProgressDialog>
#include <QRadioButton>

namespace {

constexpr std::uint8_t Part = 2; // part 3
const QByteArray Head = "0 \r\n0\n17\t; MC-307\r\n";

std::string NewName(int index)
{
    return "Patch " + std::to_string(index);
}
std::string OldName(int index)
{
    return "Old " + std::to_string(index);
}

// Passes every message on to the paced output but the silent-th name request, which the
// instrument therefore never answers.
class TSilentPatch final : public TPassingOutputs
{
public:
    TSilentPatch(midi::IMidiOuts &target, int silent)
        : TPassingOutputs(target)
        , Silent(silent)
    { }
    void SendSysEx(const midi::TByteStream &message) override
    {
        const bool nameRequest = IsNameRequest(message);
        if (PatchSilent && !nameRequest && message[5] == 0x11 && message[6] == 0x02)
            return;
        if (!nameRequest || Requests++ != Silent)
            TPassingOutputs::SendSysEx(message);
    }
    static bool IsNameRequest(const midi::TByteStream &message)
    {
        return message.size() == sysex::RequestSize && message[5] == 0x11 && message[6] == 0x02
            && message[13] == TNameReader::NameSize;
    }

    bool PatchSilent = false;
    int Requests = 0;

private:
    int Silent;
};

// The device under the paced queue, as the program has it: once gone name requests have passed,
// it is gone and every send fails, on the queue's thread.
class TGoneAfter final : public TPassingOutputs
{
public:
    TGoneAfter(midi::IMidiOuts &target, int gone)
        : TPassingOutputs(target)
        , Gone(gone)
    { }
    void SendSysEx(const midi::TByteStream &message) override
    {
        if (Requests == Gone)
            throw midi::EMidiError("MIDI output gone");
        Requests += TSilentPatch::IsNameRequest(message);
        TPassingOutputs::SendSysEx(message);
    }

private:
    int Gone;
    int Requests = 0;
};

} // namespace

class TReadNamesTest : public TMainWindowFixture
{
    Q_OBJECT

    // The part's pattern part block and whole temporary patch.
    std::vector<std::uint8_t> PartBytes()
    {
        std::vector<std::uint8_t> bytes = Instrument().Read({0x01, 0x00, 0x10 + Part, 0x00}, 0x1A);
        for (std::uint8_t page : {0x00, 0x10, 0x12, 0x14, 0x16}) {
            const auto block = Instrument().Read({0x02, Part, page, 0x00}, page ? 0x81 : 0x4A);
            bytes.insert(bytes.end(), block.begin(), block.end());
        }
        return bytes;
    }

    std::unique_ptr<TGoneAfter> Below;
    std::unique_ptr<TSilentPatch> Outputs;

    // The window on the strict instrument, with a made-up bank and old names in the settings
    // file, and part 3 shown with its temporary patch edited, whose bytes are returned.
    std::vector<std::uint8_t> OpenEditedPart(int silent, int gone)
    {
        StartRig(true);
        QByteArray file = Head;
        for (int i = 0; i < sysex::PatchNameCount; ++i) {
            file += QByteArray::fromStdString(OldName(i)) + "\r\n";
            Instrument().RenameStoredPatch(i / 128 + 1, i % 128, NewName(i));
        }
        WriteRaw("Ombrix.INI", file);
        Below = std::make_unique<TGoneAfter>(midi::MidiOut(), gone);
        Paced = std::make_unique<midi::TPacedOutputs>(*Below, sysex::InstrumentPacing());
        Paced->SetGap(0, std::chrono::milliseconds(20));
        Outputs = std::make_unique<TSilentPatch>(*Paced, silent);
        OpenWindow(*Outputs);
        Find<TRadioGroup>("RadioGroupSelectPart")->Item(Part)->click();
        WaitSent();
        // A bank byte that its group does not give (a card's), its name, a common byte and a
        // tone's last byte.
        Instrument().Write({0x01, 0x00, 0x10 + Part, 0x02}, std::vector<std::uint8_t> {0x02});
        Instrument().Write({0x02, Part, 0x00, 0x00}, std::vector<std::uint8_t>(12, 'E'));
        Instrument().Write({0x02, Part, 0x00, 0x10}, std::vector<std::uint8_t> {0x33});
        Instrument().Write({0x02, Part, 0x17, 0x00}, std::vector<std::uint8_t> {0x22});
        return PartBytes();
    }

private slots:
    void cleanup()
    {
        StopWindow();
        Outputs.reset();
        Below.reset();
    }

    void ReadsNamesAndRestoresThePart_data()
    {
        // The whole read takes its 90 s in make bench; here the first two groups are enough to
        // cross a group's end.
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("silent");
        QTest::addColumn<int>("cancelAt");
        QTest::addColumn<int>("late"); // a patch whose name comes after 300 ms, yet comes
        QTest::newRow("two groups, one patch silent, one late") << 130 << 127 << -1 << 60;
        QTest::newRow("from the menu, cancelled") << sysex::PatchNameCount << -1 << 25 << -1;
    }
    void ReadsNamesAndRestoresThePart()
    {
        QFETCH(int, count);
        QFETCH(int, silent);
        QFETCH(int, cancelAt);
        QFETCH(int, late);
        const std::vector<std::uint8_t> before = OpenEditedPart(silent, -1);
        bool othersWaited = true;
        connect(Window->findChild<TNameReader *>(), &TNameReader::NameAsked, this, [&](int done) {
            for (const char *action :
                 {"OpenPatch", "SavePatch", "Setup", "Mixer", "ActionReadNames"})
                othersWaited = othersWaited && !Find<QAction>(action)->isEnabled();
            if (done == cancelAt)
                Window->findChild<QProgressDialog *>("ProgressReadNames")->cancel();
            if (done == late)
                Rig->Provider().DelayNextAnswers(std::chrono::milliseconds(400));
        });
        if (count == sysex::PatchNameCount)
            Find<QAction>("ActionReadNames")->trigger();
        else
            Window->findChild<TNameReader *>()->ReadNames(count);
        WaitSent();

        QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str());
        QVERIFY(othersWaited);
        QCOMPARE(Instrument().StrictDrops(), std::uint64_t {0});
        QCOMPARE(PartBytes(), before);
        QVERIFY(ReadRaw("Ombrix.INI").startsWith(Head));
        settings::TSettingsValues values;
        settings::ReadSettingsFile("Ombrix.INI", values);
        const int asked = cancelAt < 0 ? count : cancelAt;
        for (int i = 0; i < sysex::PatchNameCount; ++i)
            QCOMPARE(values.PatchNames[std::size_t(i)],
                     i < asked && i != silent ? NewName(i) : OldName(i));
        const int read = asked - (silent >= 0);
        QCOMPARE(Find<QLabel>("PatchFileReport")->text(),
                 QString("Patch names: %1 of %2 read, %1 changed, %3 did not answer and kept "
                         "their old names%4")
                     .arg(read)
                     .arg(count)
                     .arg(silent >= 0)
                     .arg(cancelAt < 0 ? "" : "; cancelled"));
        const int shown = Find<TDropDownList>("LBPatchGroup")->ItemIndex() * 128;
        QCOMPARE(Find<TDropDownList>("LBPatch")->itemText(0).toStdString(),
                 shown < asked ? NewName(shown) : OldName(shown));
    }

    // Without the whole temporary patch the part could not be put back: nothing is picked.
    void IncompletePartIsNotRead()
    {
        const std::vector<std::uint8_t> before = OpenEditedPart(-1, -1);
        Outputs->PatchSilent = true;
        Find<QAction>("ActionReadNames")->trigger();
        WaitSent();
        QCOMPARE(Errors.size(), std::size_t {1});
        QVERIFY2(Errors.front().starts_with("Part 3 did not answer completely")
                     && Errors.front().ends_with("the patch names were not read."),
                 Errors.front().c_str());
        QCOMPARE(PartBytes(), before);
        settings::TSettingsValues values;
        settings::ReadSettingsFile("Ombrix.INI", values);
        QCOMPARE(values.PatchNames[0], OldName(0));
    }

    void DeviceGoneSaysThePartIsNotRestored()
    {
        OpenEditedPart(-1, 10);
        Find<QAction>("ActionReadNames")->trigger();
        // The failure ends the read at once, and says what was not done.
        QCOMPARE(Outputs->Requests, 10);
        QCOMPARE(Errors.size(), std::size_t {1});
        QVERIFY2(Errors.front().find("MIDI output gone\n10 of 1056 patch names were read before "
                                     "it.\nPart 3 could not be restored: MIDI output gone")
                     != std::string::npos,
                 Errors.front().c_str());
        QVERIFY(Find<QLabel>("PatchFileReport")->text().endsWith("; part 3 not restored"));
        settings::TSettingsValues values;
        settings::ReadSettingsFile("Ombrix.INI", values);
        QCOMPARE(values.PatchNames[9], NewName(9));
        QCOMPARE(values.PatchNames[10], OldName(10));
    }
};

QTEST_MAIN(TReadNamesTest)
#include "tst_editor_readnames.moc"
