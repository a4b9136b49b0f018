// The hex-text form of messages, the headers derived from the device ID, and the safe reading
// of a received data set.

#include "midi/SysExText.h"
#include "support/MessageText.h"
#include "sysex/MessageView.h"
#include "sysex/RolandMessage.h"

#include <QtTest>

using midi::TByteStream;

namespace {
TByteStream Convert(const char *text)
{
    TByteStream stream {1, 2, 3}; // previous content must be replaced
    midi::HexTextToSysEx(text, stream);
    return stream;
}
} // namespace

class TestMessageText : public QObject
{
    Q_OBJECT
private slots:
    void hexByte()
    {
        QCOMPARE(midi::HexByte(101), std::string("65"));
        QCOMPARE(midi::HexByte(0), std::string("00"));
        QCOMPARE(midi::HexByte(255), std::string("FF"));
        QCOMPARE(midi::HexByte(10), std::string("0A"));
    }

    void conversion_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<TByteStream>("expected");
        QTest::newRow("data set") << "F0 41 10 00 0B 12 02 00 10 65 7F"
                                  << BytesOf({0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02, 0x00, 0x10,
                                              0x65, 0x7F, 0x0A, 0xF7});
        QTest::newRow("request") << "F0 41 10 00 0B 11 02 00 00 00 00 00 17 01"
                                 << BytesOf({0xF0, 0x41, 0x10, 0x00, 0x0B, 0x11, 0x02, 0x00, 0x00,
                                             0x00, 0x00, 0x00, 0x17, 0x01, 0x66, 0xF7});
        QTest::newRow("lower case") << "f0 41 10 00 0b 12 01 00 10 04 00 00"
                                    << BytesOf({0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x01, 0x00,
                                                0x10, 0x04, 0x00, 0x00, 0x6B, 0xF7});
        QTest::newRow("empty") << "" << BytesOf({0x00, 0xF7});
        QTest::newRow("odd digit dropped")
            << "F0 41 10 00 0B 12 02 00 10 65 7"
            << BytesOf({0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02, 0x00, 0x10, 0x65, 0x09, 0xF7});
        QTest::newRow("sum multiple of 128")
            << "F0 41 10 00 0B 12 00 00 00 00 00"
            << BytesOf({0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0, 0, 0, 0, 0, 0x00, 0xF7});
        QTest::newRow("blank inside a pair") << "F 0" << BytesOf({0xF0, 0x00, 0xF7});
        QTest::newRow("non-hex counts as 0") << "G1 ZZ" << BytesOf({0x01, 0x00, 0x00, 0xF7});
        QTest::newRow("shorter than a header")
            << "F0 41 10" << BytesOf({0xF0, 0x41, 0x10, 0, 0xF7});
        // The 00 ahead of F0 is sent, and the checksum still starts at the seventh byte.
        QTest::newRow("model 3A") << "00 F0 41 10 3A 12 32 55 70 00"
                                  << BytesOf({0x00, 0xF0, 0x41, 0x10, 0x3A, 0x12, 0x32, 0x55, 0x70,
                                              0x00, 0x09, 0xF7});
        QTest::newRow("tone level of part 4") << "F0 41 10 00 0B 12 02 03 12 65 64"
                                              << BytesOf({0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02,
                                                          0x03, 0x12, 0x65, 0x64, 0x20, 0xF7});
    }
    void conversion()
    {
        QFETCH(QString, text);
        QFETCH(TByteStream, expected);
        QCOMPARE(Convert(text.toLatin1().constData()), expected);
    }

    void headers()
    {
        QCOMPARE(sysex::DataSetHeader(17), std::string("F0 41 10 00 0B 12 "));
        QCOMPARE(sysex::DataRequestHeader(17), std::string("F0 41 10 00 0B 11 "));
        QCOMPARE(sysex::Model3AHeader(17), std::string("00 F0 41 10 3A 12 "));
        QCOMPARE(sysex::DataSetHeader(32), std::string("F0 41 1F 00 0B 12 "));
        QCOMPARE(sysex::DataSetHeader(16), std::string("F0 41 0F 00 0B 12 "));
        // No settings yet, or an ID that gives no 7-bit device byte: the factory ID 17.
        QCOMPARE(sysex::DataSetHeader(0), std::string("F0 41 10 00 0B 12 "));
        QCOMPARE(sysex::DataSetHeader(-5), std::string("F0 41 10 00 0B 12 "));
        QCOMPARE(sysex::DataRequestHeader(129), std::string("F0 41 10 00 0B 11 "));
        QCOMPARE(sysex::DeviceByte(128), 0x7F);
        QCOMPARE(sysex::DeviceByte(1), 0x00);
    }

    // Built messages read back as what they were built from; a frame that is not the
    // instrument's, or a wrong checksum, is told apart.
    void rolandMessages_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("model"); // -1: not a Roland message of ours
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("holds");
        const auto hex = [](const TByteStream &bytes) { return HexOf(bytes); };
        const sysex::TAddress tone {0x02, 0x03, 0x12, 0x65};
        QTest::newRow("data set") << hex(sysex::DataSetMessage(0x10, tone, BytesOf({0x64}))) << 0
                                  << 0x12 << "02 03 12 65 64" << true;
        QTest::newRow("request") << hex(sysex::RequestMessage(0x1F, {0x00, 0x00, 0x00, 0x08}, 3))
                                 << 0 << 0x11 << "00 00 00 08 00 00 00 03" << true;
        QTest::newRow("model 3A") << "F0 41 10 3A 12 32 55 70 00 09 F7" << 1 << 0x12
                                  << "32 55 70 00" << true;
        QTest::newRow("bad checksum")
            << "F0 41 10 00 0B 12 02 03 12 65 64 21 F7" << 0 << 0x12 << "02 03 12 65 64" << false;
        QTest::newRow("another maker")
            << "F0 43 10 00 0B 12 02 03 12 65 64 20 F7" << -1 << 0 << "" << false;
        QTest::newRow("another model")
            << "F0 41 10 00 0C 12 02 03 12 65 64 20 F7" << -1 << 0 << "" << false;
        QTest::newRow("without F7")
            << "F0 41 10 00 0B 12 02 03 12 65 64 20" << -1 << 0 << "" << false;
        QTest::newRow("header alone") << "F0 41 10 00 0B 12 F7" << -1 << 0 << "" << false;
    }
    void rolandMessages()
    {
        QFETCH(QString, message);
        QFETCH(int, model);
        QFETCH(int, command);
        QFETCH(QString, body);
        QFETCH(bool, holds);
        const TByteStream bytes = BytesOf(message);
        const std::optional<sysex::TRolandMessage> read = sysex::ReadRolandMessage(bytes);
        QCOMPARE(read.has_value(), model >= 0);
        if (!read)
            return;
        QCOMPARE(static_cast<int>(read->Header.Model), model);
        QCOMPARE(int(read->Header.Command), command);
        QCOMPARE(HexOf(read->Body), body);
        QCOMPARE(read->ChecksumHolds(), holds);
        QCOMPARE(read->Address().has_value(), model == 0);
    }

    void firstPartRequest()
    {
        const std::string text
            = sysex::DataRequestHeader(17) + "01 00 " + midi::HexByte(16) + " 00 00 00 00 1A";
        TByteStream stream;
        midi::HexTextToSysEx(text, stream);
        QCOMPARE(stream,
                 BytesOf({0xF0, 0x41, 0x10, 0x00, 0x0B, 0x11, 0x01, 0x00, 0x10, 0x00, 0x00, 0x00,
                          0x00, 0x1A, 0x55, 0xF7}));
    }

    void sysExFault_data()
    {
        QTest::addColumn<TByteStream>("message");
        QTest::addColumn<int>("fault"); // -1: sound
        QTest::newRow("data set") << BytesOf({0xF0, 0x41, 0x10, 0x12, 0x01, 0x6F, 0xF7}) << -1;
        QTest::newRow("model 3A with its 00")
            << BytesOf({0x00, 0xF0, 0x41, 0x3A, 0x7F, 0xF7}) << -1;
        QTest::newRow("shortest") << BytesOf({0xF0, 0xF7}) << -1;
        QTest::newRow("status inside") << BytesOf({0xF0, 0x41, 0x80, 0x01, 0xF7}) << 2;
        QTest::newRow("F7 inside") << BytesOf({0xF0, 0xF7, 0x01, 0xF7}) << 1;
        QTest::newRow("second F0") << BytesOf({0xF0, 0x41, 0xF0, 0xF7}) << 2;
        QTest::newRow("status ahead") << BytesOf({0x90, 0xF0, 0x01, 0xF7}) << 0;
        QTest::newRow("no F7") << BytesOf({0xF0, 0x41, 0x01}) << 3;
        QTest::newRow("no F0") << BytesOf({0x41, 0x01}) << 2;
        QTest::newRow("empty") << TByteStream {} << 0;
    }
    void sysExFault()
    {
        QFETCH(TByteStream, message);
        QFETCH(int, fault);
        const std::optional<std::size_t> found = midi::SysExFault(message);
        QCOMPARE(found ? int(*found) : -1, fault);
    }

    // Data bytes never include the checksum and F7, and nothing beyond the end is read.
    void messageView()
    {
        const TByteStream whole = BytesOf({0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02, 0x00, 0x12,
                                           0x00, 0x01, 0x02, 0x03, 0x55, 0xF7});
        sysex::TMessageView view(whole);
        QCOMPARE(view.AtOffset(0).value(), 0x01);
        QCOMPARE(view.AtOffset(2).value(), 0x03);
        QVERIFY(!view.AtOffset(3)); // the checksum
        QVERIFY(!view.DataByte(9));
        QVERIFY(!view.Byte(15));
        QVERIFY(view.HasOffsets(0, 3));
        QVERIFY(!view.HasOffsets(1, 3));

        // One parameter sent on its own: offsets count from its own start.
        const TByteStream single = BytesOf(
            {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02, 0x00, 0x12, 0x65, 0x64, 0x05, 0xF7});
        sysex::TMessageView one(single);
        QCOMPARE(one.AtOffset(0x65).value(), 0x64);
        QVERIFY(!one.AtOffset(0x64));
        QVERIFY(!one.AtOffset(0x66));

        // A piece of a longer message has no checksum to leave out.
        const TByteStream piece
            = BytesOf({0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02, 0x00, 0x12, 0x00, 0x07, 0x08});
        QCOMPARE(sysex::TMessageView(piece).AtOffset(1).value(), 0x08);

        for (std::size_t size = 0; size < whole.size(); ++size) {
            sysex::TMessageView cut(std::span(whole.data(), size));
            for (int offset = -1; offset < 200; ++offset)
                (void)cut.AtOffset(offset);
            QVERIFY(!cut.DataByte(size));
        }
    }
};

QTEST_GUILESS_MAIN(TestMessageText)
#include "tst_sysex_messagetext.moc"
