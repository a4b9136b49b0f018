// The built-in instrument's pattern MFX, name and tempo: the pattern setup's header and effects
// answered as blocks with their power-on contents, the two MFX copies kept equal whichever is
// written, part R's RHY stored, and under strict timing the data sets that write an MFX value
// out of its range for the type counted, the program's own messages never.

#include "instrument/VirtualInstrument.h"
#include "support/MessageText.h"
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
const TBytes NameTempoRequest
    = SysExOfText(pattern::NameTempoRequest(sysex::DataRequestHeader(17)).Text);

// Hands the messages over 30 ms apart, as the paced output does.
void SendPaced(TVirtualInstrument &instrument, const QStringList &texts)
{
    auto at = std::chrono::steady_clock::now();
    for (const QString &text : texts) {
        instrument.Receive(SysExOfText(text.toStdString()), at);
        at += std::chrono::milliseconds(30);
    }
}

// Everything the program may send of these: each MFX value at a few bytes, a tempo, a name, RHY.
QStringList OwnMessages()
{
    QStringList own;
    for (int type = 0; type < mfx::TypeCount; ++type)
        for (int v = 0; v <= mfx::ParamCount; ++v)
            for (int byte : {0, type, 0x7F})
                if (const auto m = pattern::MfxMessage(Set17, type, v, byte))
                    own << QString::fromStdString(*m);
    for (const std::string &m :
         {pattern::TempoMessage(Set17, 1388), pattern::NameMessage(Set17, "Night Drive"),
          pattern::RhythmPartMfxMessage(Set17, pattern::TPartMfx::Rhythm)})
        own << QString::fromStdString(m);
    return own;
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
        const pattern::TDecoded header
            = pattern::DecodeMessage(instrument.Receive(NameTempoRequest).at(0));
        QVERIFY(header.Name && !header.Name->empty());
        QCOMPARE(header.TempoHundredths, std::optional(12000));
        const auto effects
            = instrument.Receive(RequestMessage({0x30, 0, 0x20, 0}, {0, 0, 0, 0x24}));
        QCOMPARE(effects.size(), std::size_t(1));
        QCOMPARE(effects[0].size(), std::size_t(0x24 + 12));
        // Both copies hold the same MFX, every value the type uses in its range.
        const TBytes values = instrument.Read(Common, mfx::ValueCount);
        QCOMPARE(instrument.Read(Setup, mfx::ValueCount), values);
        for (int v = 0; v < mfx::ValueCount; ++v)
            if (const mfx::TMfxParam *param = mfx::ParamOf(values[0], v))
                QVERIFY2(mfx::CheckValue(*param, values[v]).InRange, param->Name);
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
        // From the byte before the type to the third parameter.
        TAddr from = written;
        --from[3];
        instrument.Receive(DataSetMessage(from, {instrument.ReadByte(from), 22, 1, 2, 3}));
        QCOMPARE(instrument.Read(other, mfx::ValueCount),
                 instrument.Read(written, mfx::ValueCount));
        QCOMPARE(instrument.Read(other, 4), BytesOf({22, 1, 2, 3}));
        // A bulk dump writes the bytes alone: it carries both copies itself.
        instrument.Load({{{written, BytesOf({5})}}});
        QCOMPARE(instrument.ReadByte(other), std::uint8_t(22));
    }

    void strictCountsValuesOutOfRange_data()
    {
        QTest::addColumn<QStringList>("messages"); // after each other, 30 ms apart
        QTest::addColumn<int>("faults");
        const QString set = QString::fromStdString(Set17);
        const QString chorus = set + "01 00 00 0D 0E";
        QTest::newRow("CHORUS at both ends")
            << QStringList {chorus + " 00 00 00 00 00 00 00 00 00 00 00 00",
                            chorus + " 7D 75 7F 5A 02 10 64 7F 7F 7F 7F 7F"}
            << 0;
        QTest::newRow("rate past its end") << QStringList {chorus, set + "01 00 00 0F 76"} << 1;
        QTest::newRow("in the setup's copy") << QStringList {chorus, set + "30 00 20 04 76"} << 1;
        QTest::newRow("unused by CHORUS") << QStringList {chorus, set + "01 00 00 16 7F"} << 0;
        QTest::newRow("no such type") << QStringList {set + "01 00 00 0D 19"} << 1;
        QTest::newRow("the type's parameter written with it")
            << QStringList {set + "01 00 00 0D 17 7F"} << 1;
        QTest::newRow("a type alone, old parameters kept")
            << QStringList {chorus, set + "01 00 00 0F 75", set + "01 00 00 0D 17"} << 0;
        QTest::newRow("the program's own") << OwnMessages() << 0;
    }

    void strictCountsValuesOutOfRange()
    {
        QFETCH(QStringList, messages);
        QFETCH(int, faults);
        for (bool strict : {false, true}) {
            TVirtualInstrument instrument;
            instrument.SetStrictTiming(strict);
            SendPaced(instrument, messages);
            QCOMPARE(instrument.StrictDrops(), std::uint64_t(0));
            QCOMPARE(instrument.MfxRangeFaults(), std::uint64_t(strict ? faults : 0));
        }
    }

    void theProgramsOwnMessagesLand()
    {
        TVirtualInstrument instrument;
        SendPaced(instrument, OwnMessages());
        const pattern::TDecoded header
            = pattern::DecodeMessage(instrument.Receive(NameTempoRequest).at(0));
        QCOMPARE(header.Name, std::optional<std::string>("Night Drive"));
        QCOMPARE(header.TempoHundredths, std::optional(13880));
        QCOMPARE(instrument.Read(pattern::RhythmPartMfxAddress(), 1), BytesOf({4}));
    }
};

QTEST_APPLESS_MAIN(TestInstrumentPattern)
#include "tst_instrument_pattern.moc"
