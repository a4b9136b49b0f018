// The pattern's MFX, name and tempo without a window: every type's parameters at both ends of
// their ranges give a text and one data set at 01 00 00 0D + p, nothing out of range or for a
// parameter the type does not use; the instrument's own texts; the tempo's nibbles and the
// name's padding; decoding whatever part of them a message covers, never beyond its end; the
// monitor naming MFX parameters after the type it saw last; MFX files read back or refused.

#include "support/MessageText.h"
#include "sysex/MessageMeaning.h"
#include "sysex/MfxFile.h"
#include "sysex/PatternMessages.h"
#include "sysex/RolandMessage.h"

#include <QtTest>

namespace mfx = sysex::mfx;
namespace pattern = sysex::pattern;
using TBytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(TBytes)

namespace {
const std::string Set17 = sysex::DataSetHeader(17);
const std::string Request17 = sysex::DataRequestHeader(17);
// CHORUS with its eight values and four an earlier type left.
const mfx::TValues Chorus {14, 20, 109, 80, 45, 1, 13, 50, 127, 64, 0, 100, 10};
const TBytes ChorusBytes(Chorus.begin(), Chorus.end());

std::optional<TBytes> Sent(int type, int v, int byte)
{
    const std::optional<std::string> text = pattern::MfxMessage(Set17, type, v, byte);
    return text ? std::optional(SysExOfText(*text)) : std::nullopt;
}

TBytes DataSet(const TBytes &address, const TBytes &data)
{
    TBytes body = address;
    body.insert(body.end(), data.begin(), data.end());
    return SysExOfText(Set17 + HexOf(body).toStdString());
}

TBytes Concat(TBytes a, const TBytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
} // namespace

class TestSysexPattern : public QObject
{
    Q_OBJECT

private slots:
    void everyParameterAtBothEndsOfItsRange()
    {
        // The map's count of parameters each type uses, in type order.
        const int used[mfx::TypeCount]
            = {11, 5, 5, 5, 5, 7, 6, 6, 5, 6, 6, 6, 6, 7, 8, 8, 8, 9, 8, 9, 7, 10, 5, 4, 5};
        for (int type = 0; type < mfx::TypeCount; ++type) {
            for (int v = 0; v <= mfx::ParamCount; ++v) {
                const mfx::TMfxParam *param = mfx::ParamOf(type, v);
                QCOMPARE(param != nullptr, v <= used[type]);
                if (!param) {
                    QVERIFY(!Sent(type, v, 0));
                    continue;
                }
                const QByteArray where = QByteArray(mfx::Types[type].Name) + " " + param->Name;
                for (int byte : {0, param->Max})
                    QVERIFY2(Sent(type, v, byte)
                                 == BytesOf({0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x01, 0x00, 0x00,
                                             0x0D + v, byte, (128 - (0x0E + v + byte) % 128) % 128,
                                             0xF7}),
                             where);
                QVERIFY2(mfx::ValueText(*param, 0) != mfx::ValueText(*param, param->Max), where);
                QVERIFY2(!Sent(type, v, param->Max + 1) && !Sent(type, v, -1), where);
                QCOMPARE(mfx::CheckValue(*param, param->Max + 1).Nearest, param->Max);
                QCOMPARE(mfx::ValueText(*param, 0x7F), mfx::ValueText(*param, param->Max));
                if (mfx::ShownAsList(*param))
                    QCOMPARE(int(mfx::ValueTexts(*param).size()), param->Max + 1);
            }
        }
        QVERIFY(!Sent(mfx::TypeCount, 1, 0));
    }

    void instrumentTexts()
    {
        struct TText
        {
            int Type, V, Byte;
            const char *Text;
        };
        const TText texts[] = {
            {14, 0, 14, "CHORUS"},  {0, 3, 0, "4000 Hz"},     {0, 2, 0, "-15 dB"},
            {0, 2, 15, "0 dB"},     {19, 3, 17, "BYPASS"},    {14, 2, 99, "10.0 Hz"},
            {14, 2, 109, "1/2"},    {14, 2, 117, "16 meas."}, {14, 1, 0, mfx::PreDelayTextAtZero},
            {14, 1, 51, "5.5 ms"},  {14, 1, 60, "10 ms"},     {14, 1, 125, "100 ms"},
            {14, 7, 50, "D50:50W"}, {17, 4, 98, "+98 %"},     {14, 4, 90, "180 deg"},
            {5, 3, 1, "+6 dB"},     {1, 4, 0, "L64"},         {1, 4, 64, "0"},
            {19, 1, 20, "2.5 ms"},  {19, 1, 103, "190 ms"},   {18, 6, 78, "3.95 Hz"},
            {18, 6, 110, "7.5 Hz"}, {18, 6, 125, "1/2"},      {13, 1, 21, "320 Hz"},
            {13, 1, 56, "1100 Hz"}, {19, 5, 1, "1/16"},       {21, 2, 0, "-100 cent"},
            {23, 2, 65, "330 ms"},  {11, 1, 33, "34"},        {16, 5, 0, "-20"},
        };
        for (const TText &t : texts)
            QCOMPARE(QString::fromStdString(mfx::ValueText(*mfx::ParamOf(t.Type, t.V), t.Byte)),
                     QString(t.Text));
    }

    void tempo_data()
    {
        QTest::addColumn<int>("hundredths");
        QTest::addColumn<TBytes>("nibbles");
        QTest::addColumn<QString>("shown");
        QTest::newRow("the dump's") << 13880 << BytesOf({3, 6, 3, 8}) << "138.8";
        QTest::newRow("power-on") << 12000 << BytesOf({2, 14, 14, 0}) << "120.0";
        QTest::newRow("half a tenth up") << 13885 << BytesOf({3, 6, 3, 13}) << "138.9";
        QTest::newRow("below half a tenth") << 13884 << BytesOf({3, 6, 3, 12}) << "138.8";
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
        QCOMPARE(pattern::TempoTenthsFromText(shown.toStdString()), std::optional(tenths));
        // What is shown goes back as its own tempo.
        const TBytes sent = SysExOfText(pattern::TempoMessage(Set17, tenths));
        QCOMPARE(TBytes(sent.begin() + 6, sent.begin() + 10), BytesOf({0x30, 0, 0, 0x13}));
        QCOMPARE(pattern::DecodeMessage(sent).TempoHundredths, std::optional(tenths * 10));
    }

    void typedTempoAndName()
    {
        QCOMPARE(pattern::TempoTenthsFromText(" 99.5 "), std::optional(995));
        for (const char *bad : {"", "19.9", "240.1", "120.", ".5", "12.34", "-120", "1e2"})
            QVERIFY2(!pattern::TempoTenthsFromText(bad), bad);
        const TBytes padded = BytesOf({'G', 'r', 'o', 'o', 'v', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 0});
        QCOMPARE(pattern::NameFromBytes(std::span<const std::uint8_t, 15>(padded.data(), 15)),
                 std::string("Groove"));
        const TBytes sent = SysExOfText(pattern::NameMessage(Set17, "Tab\there~and a long tail"));
        QCOMPARE(sent,
                 SysExOfText(Set17 + "30 00 00 00 54 61 62 20 68 65 72 65 20 61 6E 64 20 61 20"));
        QCOMPARE(pattern::DecodeMessage(sent).Name, std::optional<std::string>("Tab here and a"));
        QCOMPARE(pattern::RhythmPartMfxMessage(Set17, pattern::TPartMfx::Rhythm),
                 Set17 + "01 00 19 0A 04");
        QCOMPARE(pattern::MfxRequest(Request17).Text, Request17 + "01 00 00 0D 00 00 00 0D");
        QCOMPARE(pattern::NameTempoRequest(Request17).Text, Request17 + "30 00 00 00 00 00 00 17");
    }

    void decodingWhatAMessageCovers_data()
    {
        QTest::addColumn<TBytes>("message");
        QTest::addColumn<QList<int>>("mfx"); // the thirteen values decoded, -1 where none
        QTest::addColumn<int>("tempo"); // in hundredths, -1 for none
        const QList<int> all(Chorus.begin(), Chorus.end());
        const QList<int> none(mfx::ValueCount, -1);
        QList<int> one = none;
        one[5] = 7;
        TBytes common(0x44, 0);
        std::copy(Chorus.begin(), Chorus.end(), common.begin() + 0x0D);
        TBytes header(0x17, 'A');
        std::copy_n(BytesOf({2, 14, 14, 0}).begin(), 4, header.begin() + 0x13);
        TBytes cut = DataSet({0x30, 0, 0, 0}, header);
        cut.resize(cut.size() - 4);
        QTest::newRow("the MFX request's answer")
            << DataSet({1, 0, 0, 0x0D}, ChorusBytes) << all << -1;
        QTest::newRow("the common block") << DataSet({1, 0, 0, 0}, common) << all << -1;
        QTest::newRow("the setup's copy")
            << DataSet({0x30, 0, 0x20, 0}, Concat({0x0C, 0}, ChorusBytes)) << all << -1;
        QTest::newRow("one parameter") << DataSet({1, 0, 0, 0x12}, {7}) << one << -1;
        QTest::newRow("name and tempo") << DataSet({0x30, 0, 0, 0}, header) << none << 12000;
        QTest::newRow("cut before the tempo's end") << cut << none << -1;
        QTest::newRow("a patch block") << DataSet({2, 0, 0, 0x0D}, ChorusBytes) << none << -1;
    }

    void decodingWhatAMessageCovers()
    {
        QFETCH(TBytes, message);
        QFETCH(QList<int>, mfx);
        QFETCH(int, tempo);
        const pattern::TDecoded decoded = pattern::DecodeMessage(message);
        for (int v = 0; v < mfx::ValueCount; ++v)
            QCOMPARE(decoded.Mfx[v].value_or(-1), mfx[v]);
        QCOMPARE(decoded.TempoHundredths.value_or(-1), tempo);
        // However short the message, nothing is read beyond its end.
        for (std::size_t size = 0; size < message.size(); ++size)
            pattern::DecodeMessage(std::span(message).first(size));
    }

    void monitorNamesAfterTheTypeSeenLast_data()
    {
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("last"); // the meaning of the last one
        const QString type = "F0 41 10 00 0B 12 01 00 00 0D ";
        const QString rate = "F0 41 10 00 0B 12 01 00 00 0F ";
        QTest::newRow("type") << QStringList {type + "0E"} << "MFX Type CHORUS";
        QTest::newRow("no such type") << QStringList {type + "19"} << "MFX Type 25 (out of range)";
        QTest::newRow("rate, no type seen") << QStringList {rate + "6D"} << "MFX parameter 2 = 109";
        QTest::newRow("rate after the type")
            << QStringList {type + "0E", rate + "6D"} << "MFX Rate 1/2";
        QTest::newRow("type from an answer")
            << QStringList {type + "0E 14 6D 50 2D 01 0D 32 7F 40 00 64 0A", rate + "09"}
            << "MFX Rate 1.0 Hz";
        QTest::newRow("out of range for the type")
            << QStringList {type + "17", rate + "6D"} << "MFX Gate Time 109 (out of range)";
        QTest::newRow("tempo") << QStringList {"F0 41 10 00 0B 12 30 00 00 13 03 06 03 08"}
                               << "Tempo 138.8";
        QTest::newRow("RHY") << QStringList {"F0 41 10 00 0B 12 01 00 19 0A 04"}
                             << "Pattern part R MFX = RHY";
        QTest::newRow("setup request") << QStringList {"F0 41 10 00 0B 11 30 00 00 00 00 00 00 17"}
                                       << "Pattern setup request, 23 bytes";
    }

    void monitorNamesAfterTheTypeSeenLast()
    {
        QFETCH(QStringList, messages);
        QFETCH(QString, last);
        sysex::TMeaningContext context;
        std::string meaning;
        for (const QString &message : messages)
            meaning = sysex::MessageMeaning(SysExOfText(message.toStdString()), context);
        QCOMPARE(QString::fromStdString(meaning), last);
    }

    void mfxFileReadBack()
    {
        const TBytes file = mfx::MfxFileBytes(Chorus, 17);
        QCOMPARE(file, DataSet({1, 0, 0, 0x0D}, ChorusBytes));
        QCOMPARE(mfx::ReadMfxFile(file).Values, std::optional(Chorus));
        // A bulk dump's common block serves too, the other messages skipped.
        TBytes common(0x44, 0);
        std::copy(Chorus.begin(), Chorus.end(), common.begin() + 0x0D);
        const auto dump = mfx::ReadMfxFile(
            Concat(DataSet({2, 0, 0, 0}, {0x41}), DataSet({1, 0, 0, 0}, common)));
        QCOMPARE(dump.Values, std::optional(Chorus));
        QCOMPARE(dump.Skipped, 1);
    }

    void badMfxFilesAreRefused_data()
    {
        QTest::addColumn<TBytes>("file");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("why");
        const TBytes good = mfx::MfxFileBytes(Chorus, 17);
        const int size = int(good.size());
        const auto with = [&good, size](int at, int byte) {
            TBytes bytes = good;
            bytes[at] = std::uint8_t(byte);
            bytes[size - 2] = ChecksumOf(bytes, 6, size - 2);
            return bytes;
        };
        TBytes badSum = good;
        badSum[size - 2] ^= 1;
        QTest::newRow("bad checksum, second message")
            << Concat(good, badSum) << size << "bad checksum";
        QTest::newRow("rate out of range")
            << with(12, 118) << 12 << "Rate 118 outside its range 0..117";
        QTest::newRow("no such type") << with(10, 25) << 10 << "Type 25 outside its range 0..24";
        QTest::newRow("stray byte") << Concat(good, {0x41}) << size << "byte 41 outside";
        QTest::newRow("cut short")
            << TBytes(good.begin(), good.end() - 1) << 0 << "ends before its F7";
        QTest::newRow("twelve values only")
            << DataSet({1, 0, 0, 0x0D}, TBytes(12, 0)) << 0 << "no MFX data (1 other messages)";
    }

    void badMfxFilesAreRefused()
    {
        QFETCH(TBytes, file);
        QFETCH(int, offset);
        QFETCH(QString, why);
        const mfx::TMfxFileRead read = mfx::ReadMfxFile(file);
        QVERIFY(read.Error && !read.Values);
        QCOMPARE(int(read.Error->Offset), offset);
        QVERIFY2(QString::fromStdString(read.Error->Why).contains(why), read.Error->Why.c_str());
    }
};

QTEST_APPLESS_MAIN(TestSysexPattern)
#include "tst_sysex_pattern.moc"
