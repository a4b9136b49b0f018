// The pattern's name and tempo messages, the MFX and RHY data sets and requests, the decoding of
// whatever part of them a received message covers (never beyond its end), and MFX files built,
// read back and refused with the offset of what is wrong.

#include "support/MessageText.h"
#include "sysex/MfxFile.h"
#include "sysex/PatternMessages.h"
#include "sysex/RolandMessage.h"

#include <QtTest>

namespace pattern = sysex::pattern;
namespace mfx = sysex::mfx;
using TBytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(TBytes)

namespace {
const std::string Set17 = sysex::DataSetHeader(17);
const std::string Request17 = sysex::DataRequestHeader(17);
// CHORUS with its eight values and four left by another type.
const mfx::TValues Chorus {14, 20, 109, 80, 45, 1, 13, 50, 127, 64, 0, 100, 10};

TBytes Concat(std::initializer_list<TBytes> parts)
{
    TBytes all;
    for (const TBytes &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}
} // namespace

class TestPatternMessages : public QObject
{
    Q_OBJECT

private slots:
    void tempo_data()
    {
        QTest::addColumn<int>("hundredths");
        QTest::addColumn<TBytes>("nibbles");
        QTest::addColumn<QString>("shown");
        QTest::newRow("the dump's") << 13880 << BytesOf({3, 6, 3, 8}) << "138.8";
        QTest::newRow("power-on") << 12000 << BytesOf({2, 14, 14, 0}) << "120.0";
        QTest::newRow("half a tenth up") << 13885 << BytesOf({3, 6, 3, 13}) << "138.9";
        QTest::newRow("below half a tenth") << 13884 << BytesOf({3, 6, 3, 12}) << "138.8";
        QTest::newRow("below the range") << 1000 << BytesOf({0, 3, 14, 8}) << "20.0";
        QTest::newRow("above the range") << 30000 << BytesOf({7, 5, 3, 0}) << "240.0";
    }

    void tempo()
    {
        QFETCH(int, hundredths);
        QFETCH(TBytes, nibbles);
        QFETCH(QString, shown);
        const auto encoded = pattern::TempoNibbles(hundredths);
        QCOMPARE(TBytes(encoded.begin(), encoded.end()), nibbles);
        QCOMPARE(pattern::TempoFromNibbles(encoded), hundredths);
        const int tenths = pattern::TempoTenths(hundredths);
        QCOMPARE(QString::fromStdString(pattern::TempoText(tenths)), shown);
        QCOMPARE(pattern::TempoTenthsFromText(pattern::TempoText(tenths)), std::optional(tenths));
        // What is shown goes back as its own tempo.
        const TBytes sent = SysExOfText(pattern::TempoMessage(Set17, tenths));
        const pattern::TDecoded back = pattern::DecodeMessage(sent);
        QCOMPARE(back.TempoHundredths, std::optional(tenths * 10));
        QCOMPARE(TBytes(sent.begin() + 6, sent.begin() + 10), BytesOf({0x30, 0, 0, 0x13}));
    }

    void typedTempo()
    {
        QCOMPARE(pattern::TempoTenthsFromText(" 99.5 "), std::optional(995));
        QCOMPARE(pattern::TempoTenthsFromText("20"), std::optional(200));
        for (const char *bad : {"", "19.9", "240.1", "120.", ".5", "12.34", "1e2", "-120", "abc"})
            QVERIFY2(!pattern::TempoTenthsFromText(bad), bad);
        const TBytes over = BytesOf({0x7F, 0x7F, 0x7F, 0x7F});
        QCOMPARE(pattern::TempoFromNibbles(std::span<const std::uint8_t, 4>(over.data(), 4)),
                 0xFFFF);
    }

    void name()
    {
        const TBytes padded
            = BytesOf({'G', 'r', 'o', 'o', 'v', 'e', ' ', '1', 0, 0, 0, 0, 0, 0, 0});
        QCOMPARE(pattern::NameFromBytes(std::span<const std::uint8_t, 15>(padded.data(), 15)),
                 std::string("Groove 1"));
        const TBytes sent = SysExOfText(pattern::NameMessage(Set17, "Tab\there~and a long tail"));
        QCOMPARE(sent,
                 SysExOfText(Set17 + "30 00 00 00 54 61 62 20 68 65 72 65 20 61 6E 64 20 61 20"));
        QCOMPARE(pattern::DecodeMessage(sent).Name, std::optional<std::string>("Tab here and a"));
    }

    void messagesAndRequests()
    {
        QCOMPARE(pattern::RhythmPartMfxMessage(Set17, pattern::TPartMfx::Rhythm),
                 Set17 + "01 00 19 0A 04");
        QCOMPARE(pattern::MfxRequest(Request17).Text, Request17 + "01 00 00 0D 00 00 00 0D");
        QCOMPARE(pattern::NameTempoRequest(Request17).Text, Request17 + "30 00 00 00 00 00 00 17");
        QCOMPARE(pattern::MfxMessage(Set17, 14, 2, 109), std::optional(Set17 + "01 00 00 0F 6D"));
    }

    void decodingWhatAMessageCovers_data()
    {
        QTest::addColumn<TBytes>("message");
        QTest::addColumn<QList<int>>("mfx"); // the thirteen values decoded, -1 where none
        QTest::addColumn<int>("tempo"); // in hundredths, -1 for none
        QTest::addColumn<QString>("name"); // null for none
        const TBytes values(Chorus.begin(), Chorus.end());
        const QList<int> all(Chorus.begin(), Chorus.end());
        const QList<int> none(mfx::ValueCount, -1);
        const auto set = [](TBytes address, const TBytes &data) {
            return SysExOfText(Set17 + HexOf(Concat({address, data})).toStdString());
        };
        TBytes common(0x44, 0);
        std::copy(values.begin(), values.end(), common.begin() + 0x0D);
        TBytes header(0x17, 'A');
        std::copy_n(BytesOf({2, 14, 14, 0}).begin(), 4, header.begin() + 0x13);
        QList<int> one = none;
        one[5] = 7;
        QTest::newRow("the MFX request's answer")
            << set({1, 0, 0, 0x0D}, values) << all << -1 << "";
        QTest::newRow("the whole common block") << set({1, 0, 0, 0}, common) << all << -1 << "";
        QTest::newRow("the setup's copy")
            << set({0x30, 0, 0x20, 0}, Concat({{0x0C, 0}, values})) << all << -1 << "";
        QTest::newRow("one parameter") << set({1, 0, 0, 0x12}, {7}) << one << -1 << "";
        QTest::newRow("name and tempo")
            << set({0x30, 0, 0, 0}, header) << none << 12000 << "AAAAAAAAAAAAAAA";
        TBytes cut = set({0x30, 0, 0, 0}, header);
        cut.resize(cut.size() - 4);
        QTest::newRow("cut before the tempo's end") << cut << none << -1 << "AAAAAAAAAAAAAAA";
        QTest::newRow("a patch block") << set({2, 0, 0, 0x0D}, values) << none << -1 << "";
        QTest::newRow("a request")
            << SysExOfText(Request17 + "01 00 00 0D 00 00 00 0D") << none << -1 << "";
    }

    void decodingWhatAMessageCovers()
    {
        QFETCH(TBytes, message);
        QFETCH(QList<int>, mfx);
        QFETCH(int, tempo);
        QFETCH(QString, name);
        const pattern::TDecoded decoded = pattern::DecodeMessage(message);
        for (int v = 0; v < mfx::ValueCount; ++v)
            QCOMPARE(decoded.Mfx[v].value_or(-1), mfx[v]);
        QCOMPARE(decoded.TempoHundredths.value_or(-1), tempo);
        QCOMPARE(QString::fromStdString(decoded.Name.value_or("")), name);
        // However short the message, nothing is read beyond its end.
        for (std::size_t size = 0; size < message.size(); ++size)
            pattern::DecodeMessage(std::span(message).first(size));
    }

    void mfxFileRoundTrip()
    {
        const TBytes file = mfx::MfxFileBytes(Chorus, 17);
        QCOMPARE(file, SysExOfText(Set17 + "01 00 00 0D 0E 14 6D 50 2D 01 0D 32 7F 40 00 64 0A"));
        const mfx::TMfxFileRead read = mfx::ReadMfxFile(file);
        QVERIFY(!read.Error);
        QCOMPARE(read.Values, std::optional(Chorus));
        // A bulk dump's common block serves too, the other messages skipped.
        TBytes common(0x44, 0);
        std::copy(Chorus.begin(), Chorus.end(), common.begin() + 0x0D);
        const TBytes dump = Concat({SysExOfText(Set17 + "02 00 00 00 41"),
                                    sysex::DataSetMessage(0x10, {1, 0, 0, 0}, common)});
        QCOMPARE(mfx::ReadMfxFile(dump).Values, std::optional(Chorus));
        QCOMPARE(mfx::ReadMfxFile(dump).Skipped, 1);
    }

    void badMfxFilesAreRefused_data()
    {
        QTest::addColumn<TBytes>("file");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("why");
        const TBytes good = mfx::MfxFileBytes(Chorus, 17);
        const int size = int(good.size());
        TBytes badSum = good;
        badSum[size - 2] ^= 1;
        QTest::newRow("bad checksum, second message")
            << Concat({good, badSum}) << size << "bad checksum";
        QTest::newRow("bad checksum") << badSum << 0 << "bad checksum";
        TBytes rate = good;
        rate[12] = 118; // CHORUS's rate stops at 117
        rate[size - 2] = ChecksumOf(rate, 6, size - 2);
        QTest::newRow("rate out of range") << rate << 12 << "Rate 118 outside its range 0..117";
        TBytes type = good;
        type[10] = 25;
        type[size - 2] = ChecksumOf(type, 6, size - 2);
        QTest::newRow("no such type") << type << 10 << "Type 25 outside its range 0..24";
        QTest::newRow("stray byte") << Concat({good, {0x41}}) << size << "byte 41 outside";
        TBytes cut(good.begin(), good.end() - 1);
        QTest::newRow("cut short") << cut << 0 << "the file ends before its F7";
        TBytes status = good;
        status[12] = 0xF8;
        QTest::newRow("status byte inside") << status << 0 << "status byte F8 before its F7";
        QTest::newRow("twelve values only")
            << SysExOfText(Set17 + "01 00 00 0D 0E 14 6D 50 2D 01 0D 32 7F 40 00 64") << 0
            << "no MFX data (1 other messages)";
    }

    void badMfxFilesAreRefused()
    {
        QFETCH(TBytes, file);
        QFETCH(int, offset);
        QFETCH(QString, why);
        const mfx::TMfxFileRead read = mfx::ReadMfxFile(file);
        QVERIFY(read.Error);
        QCOMPARE(int(read.Error->Offset), offset);
        QVERIFY2(QString::fromStdString(read.Error->Why).contains(why), read.Error->Why.c_str());
        QVERIFY(!read.Values);
    }
};

QTEST_APPLESS_MAIN(TestPatternMessages)
#include "tst_sysex_patternmessages.moc"
