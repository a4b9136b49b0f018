// The MFX table without a window: every type's parameters at both ends of their ranges give a
// text and exactly one data set at 01 00 00 0D + p, nothing beyond the range or for a parameter
// the type does not use; the instrument's own texts at known values; a byte out of range shown
// as its nearest value; and the monitor naming MFX messages after the type it saw last.

#include "support/MessageText.h"
#include "sysex/MessageMeaning.h"
#include "sysex/MfxParams.h"
#include "sysex/PatternMessages.h"
#include "sysex/RolandMessage.h"

#include <QtTest>

namespace mfx = sysex::mfx;

namespace {
const std::string Header17 = sysex::DataSetHeader(17);

// The data set of value v of the type, as bytes, if one goes out.
std::optional<std::vector<std::uint8_t>> Sent(int type, int v, int byte)
{
    const std::optional<std::string> text = sysex::pattern::MfxMessage(Header17, type, v, byte);
    return text ? std::optional(SysExOfText(*text)) : std::nullopt;
}
} // namespace

class TestMfxParams : public QObject
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
                for (int byte : {0, param->Max}) {
                    QVERIFY2(!mfx::ValueText(*param, byte).empty(), where);
                    QVERIFY2(Sent(type, v, byte)
                                 == BytesOf({0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x01, 0x00, 0x00,
                                             0x0D + v, byte, (128 - (0x0E + v + byte) % 128) % 128,
                                             0xF7}),
                             where);
                }
                QVERIFY2(mfx::ValueText(*param, 0) != mfx::ValueText(*param, param->Max), where);
                QVERIFY2(!Sent(type, v, param->Max + 1) && !Sent(type, v, -1), where);
                QVERIFY(!mfx::CheckValue(*param, param->Max + 1).InRange);
                QCOMPARE(mfx::CheckValue(*param, param->Max + 1).Nearest, param->Max);
                QCOMPARE(mfx::ValueText(*param, 0x7F), mfx::ValueText(*param, param->Max));
                if (mfx::ShownAsList(*param))
                    QCOMPARE(int(mfx::ValueTexts(*param).size()), param->Max + 1);
            }
        }
        QVERIFY(!Sent(mfx::TypeCount, 0, mfx::TypeCount));
        QVERIFY(!Sent(mfx::TypeCount, 1, 0));
    }

    void instrumentTexts_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("v");
        QTest::addColumn<int>("byte");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *name, int type, int v, int byte, const char *text) {
            QTest::newRow(name) << type << v << byte << QString(text);
        };
        row("type 0", 0, 0, 0, "4BAND EQ");
        row("type 14", 14, 0, 14, "CHORUS");
        row("type 24", 24, 0, 24, "ISOLATOR");
        row("EQ high frequency", 0, 3, 0, "4000 Hz");
        row("EQ low gain, lowest", 0, 2, 0, "-15 dB");
        row("EQ low gain, middle", 0, 2, 15, "0 dB");
        row("EQ peaking Q", 0, 6, 4, "8.0");
        row("T2 highest frequency", 0, 5, 16, "8000 Hz");
        row("T2 bypass", 19, 3, 17, "BYPASS");
        row("T3 slowest", 14, 2, 0, "0.1 Hz");
        row("T3 fastest in hertz", 14, 2, 99, "10.0 Hz");
        row("T3 first note", 14, 2, 100, "1/16");
        row("T3 half note", 14, 2, 109, "1/2");
        row("T3 16 measures", 14, 2, 117, "16 meas.");
        row("T4 zero", 14, 1, 0, mfx::PreDelayTextAtZero);
        row("T4 tenths", 14, 1, 50, "5.0 ms");
        row("T4 halves", 14, 1, 51, "5.5 ms");
        row("T4 whole", 14, 1, 60, "10 ms");
        row("T4 two by two", 14, 1, 101, "52 ms");
        row("T4 longest", 14, 1, 125, "100 ms");
        row("T5 middle", 14, 7, 50, "D50:50W");
        row("T5 dry", 14, 7, 0, "D100:0W");
        row("T6 highest", 17, 4, 98, "+98 %");
        row("T7 highest", 14, 4, 90, "180 deg");
        row("T8 second", 5, 3, 1, "+6 dB");
        row("T9 left", 1, 4, 0, "L64");
        row("T9 centre", 1, 4, 64, "0");
        row("T9 right", 1, 4, 127, "R63");
        row("T10 shortest", 19, 1, 0, "0.1 ms");
        row("T10 halves", 19, 1, 20, "2.5 ms");
        row("T10 whole", 19, 1, 36, "11 ms");
        row("T10 longest", 19, 1, 103, "190 ms");
        row("T11 slowest", 18, 6, 0, "0.05 Hz");
        row("T11 last hundredths", 18, 6, 78, "3.95 Hz");
        row("T11 tenths", 18, 6, 79, "4.0 Hz");
        row("T11 halves", 18, 6, 110, "7.5 Hz");
        row("T11 fastest in hertz", 18, 6, 115, "10.0 Hz");
        row("T11 half note", 18, 6, 125, "1/2");
        row("T12 tens", 13, 1, 20, "300 Hz");
        row("T12 twenties", 13, 1, 21, "320 Hz");
        row("T12 hundreds", 13, 1, 56, "1100 Hz");
        row("T14 off", 19, 5, 0, "OFF");
        row("T14 first", 19, 5, 1, "1/16");
        row("T18 last", 6, 1, 17, "HUM60+PINK+EP+RND");
        row("LO-FI sample rate", 5, 2, 0, mfx::LoFiSampleRateItems[0]);
        row("slicer pattern", 11, 1, 33, "34");
        row("tetra depth deviation", 16, 5, 0, "-20");
        row("coarse pitch", 21, 1, 36, "+12");
        row("fine pitch", 21, 2, 0, "-100 cent");
        row("gate time", 23, 2, 65, "330 ms");
    }

    void instrumentTexts()
    {
        QFETCH(int, type);
        QFETCH(int, v);
        QFETCH(int, byte);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(mfx::ValueText(*mfx::ParamOf(type, v), byte)), text);
    }

    void monitorNamesAfterTheTypeSeenLast_data()
    {
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("last"); // the meaning of the last one
        const QString type = "F0 41 10 00 0B 12 01 00 00 0D ";
        const QString rate = "F0 41 10 00 0B 12 01 00 00 0F ";
        QTest::newRow("type") << QStringList {type + "0E"} << "MFX Type CHORUS";
        QTest::newRow("type out of range")
            << QStringList {type + "19"} << "MFX Type 25 (out of range)";
        QTest::newRow("rate, no type seen") << QStringList {rate + "6D"} << "MFX parameter 2 = 109";
        QTest::newRow("rate after the type")
            << QStringList {type + "0E", rate + "6D"} << "MFX Rate 1/2";
        QTest::newRow("out of range after the type")
            << QStringList {type + "17", rate + "6D"} << "MFX Gate Time 109 (out of range)";
        QTest::newRow("unused by the type")
            << QStringList {type + "16", "F0 41 10 00 0B 12 01 00 00 13 09"}
            << "MFX parameter 6 = 9";
        QTest::newRow("type from an answer")
            << QStringList {type + "0E 14 6D 50 2D 01 0D 32 7F 40 00 64 0A", rate + "09"}
            << "MFX Rate 1.0 Hz";
        QTest::newRow("the whole answer")
            << QStringList {type + "0E 14 6D 50 2D 01 0D 32 7F 40"} << "MFX CHORUS, 10 bytes";
        QTest::newRow("tempo") << QStringList {"F0 41 10 00 0B 12 30 00 00 13 03 06 03 08"}
                               << "Tempo 138.8";
        QTest::newRow("name") << QStringList {"F0 41 10 00 0B 12 30 00 00 00 "
                                              "41 42 20 43 00 00 00 00 00 00 00 00 00 00 00"}
                              << "Pattern name \"AB C\"";
        QTest::newRow("RHY") << QStringList {"F0 41 10 00 0B 12 01 00 19 0A 04"}
                             << "Pattern part R MFX = RHY";
        QTest::newRow("MFX request")
            << QStringList {"F0 41 10 00 0B 11 01 00 00 0D 00 00 00 0D"} << "MFX request, 13 bytes";
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
};

QTEST_APPLESS_MAIN(TestMfxParams)
#include "tst_sysex_mfxparams.moc"
