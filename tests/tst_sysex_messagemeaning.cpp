// The monitor's meaning column without a window: a table of sample messages, from the tone
// table's parameters of every kind to the mixer's, the identity messages and garbage.

#include "midi/SysExText.h"
#include "sysex/MessageMeaning.h"
#include "sysex/MixerMessages.h"
#include "sysex/RolandMessage.h"

#include <QtTest>

#include <cstdint>
#include <vector>

using TBytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(TBytes)

namespace {
TBytes FromText(const std::string &text)
{
    midi::TByteStream bytes;
    midi::HexTextToSysEx(text, bytes);
    return bytes;
}
TBytes Set(const std::string &rest)
{
    return FromText(sysex::DataSetHeader(17) + rest);
}
TBytes Request(const std::string &rest)
{
    return FromText(sysex::DataRequestHeader(17) + rest);
}
} // namespace

class TestMessageMeaning : public QObject
{
    Q_OBJECT
private slots:
    void meaning_data()
    {
        QTest::addColumn<TBytes>("message");
        QTest::addColumn<QString>("meaning");
        const std::string model3A = sysex::Model3AHeader(17);
        QTest::newRow("level") << Set("02 03 12 65 64") << "Part 4 Tone 2 Level = 100";
        QTest::newRow("pan biased") << Set("02 00 10 77 40") << "Part 1 Tone 1 Pan = 0";
        QTest::newRow("cutoff inverted") << Set("02 00 10 51 00") << "Part 1 Tone 1 Cutoff = 127";
        QTest::newRow("filter list") << Set("02 01 14 50 02") << "Part 2 Tone 3 Filter = Band Pass";
        QTest::newRow("switch") << Set("02 00 16 00 01") << "Part 1 Tone 4 Switch = on";
        QTest::newRow("gain radio") << Set("02 00 10 05 03") << "Part 1 Tone 1 Gain = +12";
        QTest::newRow("fxm depth") << Set("02 00 10 08 00") << "Part 1 Tone 1 Depth = 1";
        QTest::newRow("tune") << Set("02 00 10 3D 00") << "Part 1 Tone 1 Tune = -48";
        QTest::newRow("random pan") << Set("02 00 10 79 3F") << "Part 1 Tone 1 Random pan = on";
        QTest::newRow("envelope time")
            << Set("02 00 10 6E 10") << "Part 1 Tone 1 Amplitude Env T1 = 16";
        QTest::newRow("envelope level")
            << Set("02 00 12 62 05") << "Part 1 Tone 2 Filter Env L4 = 5";
        QTest::newRow("wave") << Set("02 00 10 02 02 00 00") << "Part 1 Tone 1 Wave = row 255";
        QTest::newRow("velocity") << Set("02 00 10 6A 32") << "Part 1 Tone 1 VeloSensAmp = 0";
        QTest::newRow("patch common") << Set("02 00 00 00 01 02") << "Part 1 patch common, 2 bytes";
        QTest::newRow("tone dump") << Set("02 06 10 00 01 02 03") << "Part 7 Tone 1, 3 bytes";
        QTest::newRow("part request")
            << Request("01 00 12 00 00 00 00 1A") << "Pattern part 3 request, 26 bytes";
        QTest::newRow("patch request")
            << Request("02 02 00 00 00 00 17 01") << "Part 3 patch request, 2945 bytes";
        QTest::newRow("patch selection") << Set("01 00 10 04 01 02") << "Pattern part 1 Patch = 18";
        QTest::newRow("part level") << Set("01 00 13 06 64") << "Pattern part 4 Level = 100";
        QTest::newRow("part R reverb send")
            << Set("01 00 19 0D 20") << "Pattern part R Reverb send = 32";
        QTest::newRow("reverb type") << Set("01 00 00 28 05") << "Reverb Type = Hall 2";
        QTest::newRow("delay type") << Set("01 00 00 23 01") << "Delay Type = Long";
        QTest::newRow("delay damp") << Set("01 00 00 24 11") << "Delay HF Damp = Byp.";
        QTest::newRow("reverb switch") << Set("00 00 00 0A 01") << "Reverb switch = on";
        QTest::newRow("cc level") << TBytes {0xB3, 0x07, 0x64} << "Channel 4 Level = 100";
        QTest::newRow("cc pan") << TBytes {0xB9, 0x0A, 0x40} << "Channel 10 Pan = 0";
        QTest::newRow("cc reverb") << TBytes {0xB0, 0x5B, 0x10} << "Channel 1 Reverb send = 16";
        QTest::newRow("cc delay") << TBytes {0xB1, 0x5E, 0x7F} << "Channel 2 Delay send = 127";
        QTest::newRow("cc other") << TBytes {0xB0, 0x01, 0x05} << "Channel 1 CC 1 = 5";
        QTest::newRow("transpose") << FromText(sysex::mixer::TransposeMessage(model3A, 4, 12))
                                   << "Pattern part 4 transpose = -12";
        QTest::newRow("mfx part") << FromText(sysex::mixer::MfxPartMessage(model3A, 0, true))
                                  << "Pattern part R MFX = on";
        QTest::newRow("inquiry request")
            << TBytes {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7} << "Inquiry Request";
        QTest::newRow("inquiry reply") << TBytes {0xF0, 0x7E, 0x10, 0x06, 0x02, 0x41, 0x0B, 0x01,
                                                  0x01, 0x00, 0x00, 0x03, 0x00, 0x00, 0xF7}
                                       << "Inquiry Reply, device 17: Roland MC-307";
        QTest::newRow("active sensing") << TBytes {0xFE} << "Active Sensing";
        QTest::newRow("clock") << TBytes {0xF8} << "Clock";
        QTest::newRow("empty") << TBytes {} << "other";
        QTest::newRow("garbage") << TBytes {0x12, 0x34} << "other";
        QTest::newRow("cut") << TBytes {0xF0, 0x41} << "other";
        QTest::newRow("other maker") << TBytes {0xF0, 0x43, 0x10, 0x00, 0xF7} << "other";
        QTest::newRow("short data set")
            << TBytes {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02, 0xF7} << "other";
        QTest::newRow("cut model 3A")
            << TBytes {0x00, 0xF0, 0x41, 0x10, 0x3A, 0x12, 0xF7} << "other";
    }
    void meaning()
    {
        QFETCH(TBytes, message);
        QFETCH(QString, meaning);
        QCOMPARE(QString::fromStdString(sysex::MessageMeaning(message)), meaning);
    }

    // No message of any length up to 12 bytes of any one value reads out of bounds.
    void everyLengthIsSafe()
    {
        for (int value : {0x00, 0x41, 0x7F, 0xF0, 0xF7, 0xFF})
            for (std::size_t size = 0; size <= 12; ++size) {
                TBytes bytes(size, static_cast<std::uint8_t>(value));
                if (size > 0)
                    bytes[0] = 0xF0;
                QVERIFY(!sysex::MessageMeaning(bytes).empty());
            }
    }
};

QTEST_APPLESS_MAIN(TestMessageMeaning)
#include "tst_sysex_messagemeaning.moc"
