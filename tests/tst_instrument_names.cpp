// The virtual instrument's patch names: every patch of its memory has a well-formed name of its
// own, a patch selection loads it into the part's temporary patch with the rest of the patch,
// the 12-byte name request answers it, and a data set to the name renames the temporary patch.

#include "instrument/InstrumentContents.h"
#include "instrument/VirtualInstrument.h"
#include "support/MessageText.h"
#include "sysex/PatchMessages.h"
#include "sysex/RolandMessage.h"
#include "sysex/ToneParams.h"

#include <QtTest>

#include <set>
#include <string>

using instrument::TVirtualInstrument;
using TBytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint8_t CommonPage = 0x00;

// The messages the patch list sends for a pick: group 0..8, patch within the group.
void SelectPatch(TVirtualInstrument &instrument, int part, int group, int patch)
{
    for (const std::string &text :
         sysex::patch::PatchSelectionMessages(sysex::DataSetHeader(17), part, group, patch))
        instrument.Receive(SysExOfText(text));
}

// The answer to the 12-byte name request of part p, its data bytes as text.
std::string AskName(TVirtualInstrument &instrument, int part)
{
    const auto answers = instrument.Receive(
        RequestMessage({0x02, std::uint8_t(part), CommonPage, 0x00}, {0, 0, 0, 0x0C}));
    if (answers.size() != 1 || answers[0].size() != 10 + 12 + 2)
        return "(no 12-byte answer)";
    return std::string(answers[0].begin() + 10, answers[0].end() - 2);
}

} // namespace

class TestInstrumentNames : public QObject
{
    Q_OBJECT

private slots:
    // One property over all 1056 patches: a 12-character name of printable characters 32..125,
    // a word or two padded with spaces, no two alike; its patch common block is 74 bytes and
    // starts with it, and picked on a part, it is what the name request answers.
    void everyPatchHasANameOfItsOwn()
    {
        TVirtualInstrument instrument;
        std::set<std::string> names;
        for (int group = 0; group < sysex::PatchGroupCount; ++group) {
            for (int patch = 0; patch < sysex::PatchCountOfGroup(group); ++patch) {
                const int groupByte = sysex::PatchGroupByte(group);
                const std::string name = instrument.StoredPatchName(groupByte, patch);
                const QByteArray where = QByteArray::number(group) + "/" + QByteArray::number(patch)
                    + ": \"" + name.c_str() + "\"";
                const std::string words = name.substr(0, name.find_last_not_of(' ') + 1);
                QVERIFY2(name.size() == 12 && !words.empty() && words.front() != ' '
                             && words.find("  ") == std::string::npos
                             && std::all_of(name.begin(), name.end(),
                                            [](char c) { return c >= 32 && c <= 125; }),
                         where);
                names.insert(name);

                const instrument::TPatch generated = instrument::GeneratePatch(groupByte, patch);
                QVERIFY2(generated.Common.size() == 74, where);
                QVERIFY2(std::equal(name.begin(), name.end(), generated.Common.begin()), where);
                const int part = (group * 128 + patch) % 7;
                SelectPatch(instrument, part, group, patch);
                QVERIFY2(AskName(instrument, part) == name, where);
            }
        }
        QCOMPARE(int(names.size()), sysex::PatchNameCount);
    }

    void nameOfTheTemporaryPatch_data()
    {
        QTest::addColumn<int>("part");
        QTest::addColumn<int>("group"); // -1: no pick, the patch the part starts with
        QTest::addColumn<int>("patch");
        QTest::addColumn<QByteArray>("storedAs"); // a stored patch renamed first
        QTest::addColumn<QByteArray>("written"); // a data set into the name
        QTest::addColumn<int>("offset");
        QTest::addColumn<bool>("pickedAgain");
        QTest::addColumn<QByteArray>("expected"); // empty: the stored name, written over
        for (int part = 0; part < 7; ++part)
            QTest::addRow("part %d at power-on", part + 1)
                << part << -1 << 0 << QByteArray() << QByteArray() << 0 << false << QByteArray();
        QTest::newRow("a stored patch renamed")
            << 2 << 3 << 40 << QByteArray("Moon Synth") << QByteArray() << 0 << false
            << QByteArray("Moon Synth  ");
        QTest::newRow("a stored name too long, with a control character")
            << 2 << 3 << 40 << QByteArray("Moon\tSynth Pad") << QByteArray() << 0 << false
            << QByteArray("Moon Synth P");
        QTest::newRow("the whole name written")
            << 3 << 4 << 77 << QByteArray() << QByteArray("My Own Name!") << 0 << false
            << QByteArray();
        QTest::newRow("two characters written")
            << 3 << 4 << 77 << QByteArray() << QByteArray("XY") << 3 << false << QByteArray();
        QTest::newRow("written, then the same patch picked again")
            << 5 << 1 << 127 << QByteArray() << QByteArray("Edited Name ") << 0 << true
            << QByteArray();
        QTest::newRow("a renamed patch written, then picked again")
            << 1 << 2 << 9 << QByteArray("Stored Name") << QByteArray("Edited") << 0 << true
            << QByteArray("Stored Name ");
    }

    void nameOfTheTemporaryPatch()
    {
        QFETCH(int, part);
        QFETCH(int, group);
        QFETCH(int, patch);
        QFETCH(QByteArray, storedAs);
        QFETCH(QByteArray, written);
        QFETCH(int, offset);
        QFETCH(bool, pickedAgain);
        QFETCH(QByteArray, expected);
        TVirtualInstrument instrument;
        const bool picked = group >= 0;
        if (!picked) {
            const TBytes selection = instrument.Read({1, 0, std::uint8_t(0x10 + part), 3}, 3);
            group = selection[0] - 1;
            patch = selection[1] * 16 + selection[2];
        }
        const int groupByte = sysex::PatchGroupByte(group);
        if (!storedAs.isEmpty())
            instrument.RenameStoredPatch(groupByte, patch, storedAs.toStdString());
        if (picked)
            SelectPatch(instrument, part, group, patch);
        if (!written.isEmpty())
            instrument.Receive(
                DataSetMessage({0x02, std::uint8_t(part), CommonPage, std::uint8_t(offset)},
                               TBytes(written.begin(), written.end())));
        if (pickedAgain)
            SelectPatch(instrument, part, group, patch);

        std::string name = instrument.StoredPatchName(groupByte, patch);
        if (!pickedAgain)
            name.replace(std::size_t(offset), std::size_t(written.size()), written.toStdString());
        if (!expected.isEmpty())
            name = expected.toStdString();
        QCOMPARE(QByteArray::fromStdString(AskName(instrument, part)),
                 QByteArray::fromStdString(name));
    }
};

QTEST_GUILESS_MAIN(TestInstrumentNames)
#include "tst_instrument_names.moc"
