// The built-in instrument's pattern MFX, name and tempo: the pattern setup's header and effects
// answered as blocks with their power-on contents, the two MFX copies kept equal whichever is
// written, part R's RHY stored, and under strict timing the data sets that write an MFX value
// out of its range for the type counted, the program's own messages never.

#include "instrument/VirtualInstrument.h"
#include "support/MessageText.h"
#include "sysex/MfxParams.h"
#include "sysex/PatternMessages.h"
#include "sysex/RolandMessage.h"

#include <QtTest>

#include <chrono>

using instrument::TVirtualInstrument;
using TBytes = std::vector<std::uint8_t>;
using TAddr = std::array<std::uint8_t, 4>;
namespace mfx = sysex::mfx;
namespace pattern = sysex::pattern;

namespace {
constexpr TAddr Common {0x01, 0x00, 0x00, 0x0D};
constexpr TAddr Setup {0x30, 0x00, 0x20, 0x02};
const std::string Set17 = sysex::DataSetHeader(17);

// Hands the messages over 30 ms apart, as the paced output does.
void SendPaced(TVirtualInstrument &instrument, const std::vector<TBytes> &messages)
{
    auto at = std::chrono::steady_clock::now();
    for (const TBytes &message : messages) {
        instrument.Receive(message, at);
        at += std::chrono::milliseconds(30);
    }
}
} // namespace

Q_DECLARE_METATYPE(TAddr)

class TestInstrumentPattern : public QObject
{
    Q_OBJECT

private slots:
    void powerOnAnswers()
    {
        TVirtualInstrument instrument;
        const auto answers = instrument.Receive(
            SysExOfText(pattern::NameTempoRequest(sysex::DataRequestHeader(17)).Text));
        QCOMPARE(answers.size(), std::size_t(1));
        const pattern::TDecoded header = pattern::DecodeMessage(answers[0]);
        QVERIFY(header.Name && !header.Name->empty());
        QCOMPARE(header.TempoHundredths, std::optional(12000));
        const auto effects
            = instrument.Receive(RequestMessage({0x30, 0, 0x20, 0}, {0, 0, 0, 0x24}));
        QCOMPARE(effects.size(), std::size_t(1));
        QCOMPARE(effects[0].size(), std::size_t(0x24 + 12));
        // Both copies hold the same MFX, every value the type uses in its range.
        const TBytes values = instrument.Read(Common, mfx::ValueCount);
        QCOMPARE(instrument.Read(Setup, mfx::ValueCount), values);
        QCOMPARE(pattern::DecodeMessage(effects[0]).Mfx[0], std::optional<int>(values[0]));
        for (int v = 0; v < mfx::ValueCount; ++v)
            if (const mfx::TMfxParam *param = mfx::ParamOf(values[0], v))
                QVERIFY2(mfx::CheckValue(*param, values[v]).InRange, param->Name);
        const TBytes reserve = instrument.Read({1, 0, 0, pattern::VoiceReserveOffset}, 10);
        int voices = 0;
        for (std::uint8_t r : reserve)
            voices += r;
        QVERIFY(voices > 0 && voices <= 64);
    }

    void eachCopyWritesTheOther_data()
    {
        QTest::addColumn<TAddr>("written");
        QTest::addColumn<TAddr>("other");
        QTest::newRow("common to setup") << Common << Setup;
        QTest::newRow("setup to common") << Setup << Common;
    }

    void eachCopyWritesTheOther()
    {
        QFETCH(TAddr, written);
        QFETCH(TAddr, other);
        TVirtualInstrument instrument;
        // From one byte before the type to the third parameter.
        TAddr from = written;
        --from[3];
        const TBytes before = instrument.Read(from, 1);
        instrument.Receive(DataSetMessage(from, {before[0], 22, 1, 2, 3}));
        QCOMPARE(instrument.Read(other, 4), BytesOf({22, 1, 2, 3}));
        QCOMPARE(instrument.Read(written, mfx::ValueCount),
                 instrument.Read(other, mfx::ValueCount));
        // A bulk dump writes the bytes alone, as it carries both copies itself.
        instrument::TBulkDump dump;
        dump.DataSets.push_back({written, BytesOf({5})});
        instrument.Load(dump);
        QCOMPARE(instrument.Read(other, 1), BytesOf({22}));
    }

    void rhythmPartTakesRhy()
    {
        TVirtualInstrument instrument;
        instrument.Receive(
            SysExOfText(pattern::RhythmPartMfxMessage(Set17, pattern::TPartMfx::Rhythm)));
        QCOMPARE(instrument.Read(pattern::RhythmPartMfxAddress(), 1), BytesOf({4}));
    }

    void strictCountsValuesOutOfRange_data()
    {
        QTest::addColumn<QStringList>("messages"); // after each other, 30 ms apart
        QTest::addColumn<int>("faults");
        const QString type = "01 00 00 0D ";
        QTest::newRow("every parameter of CHORUS at its ends")
            << QStringList {type + "0E", type + "0E 00 00 00 00 00 00 00 00 00 00 00 00",
                            type + "0E 7D 75 7F 5A 02 10 64 7F 7F 7F 7F 7F"}
            << 0;
        QTest::newRow("rate past its end") << QStringList {type + "0E", "01 00 00 0F 76"} << 1;
        QTest::newRow("in the setup's copy") << QStringList {type + "0E", "30 00 20 04 76"} << 1;
        QTest::newRow("a parameter CHORUS does not use")
            << QStringList {type + "0E", "01 00 00 16 7F"} << 0;
        QTest::newRow("no such type") << QStringList {type + "19"} << 1;
        QTest::newRow("a type whose parameters the data set leaves out of range")
            << QStringList {type + "17 7F 7F"} << 1;
        QTest::newRow("a type alone, its old parameters kept")
            << QStringList {type + "0E", "01 00 00 0F 75", type + "17"} << 0;
    }

    void strictCountsValuesOutOfRange()
    {
        QFETCH(QStringList, messages);
        QFETCH(int, faults);
        for (bool strict : {false, true}) {
            TVirtualInstrument instrument;
            instrument.SetStrictTiming(strict);
            std::vector<TBytes> sent;
            for (const QString &m : messages)
                sent.push_back(SysExOfText(Set17 + m.toStdString()));
            SendPaced(instrument, sent);
            QCOMPARE(instrument.StrictDrops(), std::uint64_t(0));
            QCOMPARE(instrument.MfxRangeFaults(), std::uint64_t(strict ? faults : 0));
        }
    }

    void theProgramsOwnMessagesNeverCount()
    {
        TVirtualInstrument instrument;
        instrument.SetStrictTiming(true);
        std::vector<TBytes> sent;
        for (int type = 0; type < mfx::TypeCount; ++type) {
            sent.push_back(SysExOfText(*pattern::MfxMessage(Set17, type, 0, type)));
            for (int v = 1; v <= mfx::ParamCount; ++v)
                for (int byte : {0, 0x7F})
                    if (const auto m = pattern::MfxMessage(Set17, type, v, byte))
                        sent.push_back(SysExOfText(*m));
        }
        sent.push_back(SysExOfText(pattern::TempoMessage(Set17, 1388)));
        sent.push_back(SysExOfText(pattern::NameMessage(Set17, "Night Drive")));
        SendPaced(instrument, sent);
        QCOMPARE(instrument.MfxRangeFaults(), std::uint64_t(0));
        QCOMPARE(instrument.Read({0x30, 0, 0, 0x13}, 4), BytesOf({3, 6, 3, 8}));
        const pattern::TDecoded header = pattern::DecodeMessage(instrument.Receive(
            SysExOfText(pattern::NameTempoRequest(sysex::DataRequestHeader(17)).Text))[0]);
        QCOMPARE(header.Name, std::optional<std::string>("Night Drive"));
    }
};

QTEST_APPLESS_MAIN(TestInstrumentPattern)
#include "tst_instrument_pattern.moc"
