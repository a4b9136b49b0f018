// The mixer's messages and decoding without a window: part table, control changes, model-3A
// messages, reverb and delay groups, switches, opening requests, and what a received message
// (whole, short or garbage) yields.

#include "support/MessageText.h"
#include "support/MixerBlocks.h"
#include "sysex/MixerMessages.h"
#include "sysex/RolandMessage.h"

#include <QtTest>

#include <cstdint>
#include <vector>

using TBytes = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(TBytes)

namespace {
using F = sysex::mixer::TFieldId;

TBytes PartData(int level, int pan, int transpose, int mfx, int delay, int reverb)
{
    // clang-format off
    return MixerBlockData(sysex::mixer::TBlock::PatternPart, {{F::Level, level}, {F::Pan, pan},
        {F::Transpose, transpose}, {F::PartMfx, mfx}, {F::DelaySend, delay}, {F::ReverbSend, reverb}});
    // clang-format on
}

TBytes CommonData()
{
    TBytes data(sysex::mixer::BlockInfo(sysex::mixer::TBlock::PatternCommon).Size, 0);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i + 1);
    return data;
}

const std::string Header17 = sysex::DataSetHeader(17);
const std::string Model3A17 = sysex::Model3AHeader(17);
} // namespace

class TestMixerProtocol : public QObject
{
    Q_OBJECT

private slots:
    void partTable()
    {
        using sysex::mixer::Parts;
        const char *labels[] = {"R", "1", "2", "3", "4", "5", "6", "7"};
        const int channels[] = {10, 1, 2, 3, 4, 5, 6, 7};
        const int blocks[] = {0x19, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16};
        const int model3A[] = {0x39, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36};
        const char *tags[] = {" R", " 1", " 2", " 3", " 4", " 5", " 6", " 7"};
        for (std::size_t i = 0; i < Parts.size(); ++i) {
            QCOMPARE(Parts[i].Label, labels[i]);
            QCOMPARE(Parts[i].Channel, channels[i]);
            QCOMPARE(int(Parts[i].BlockByte), blocks[i]);
            QCOMPARE(int(Parts[i].Model3APart), model3A[i]);
            QCOMPARE(Parts[i].Tag, tags[i]);
            QCOMPARE(sysex::mixer::PartOfBlockByte(Parts[i].BlockByte), std::optional<int>(int(i)));
        }
        // Part R goes last, on channel 10.
        QCOMPARE(sysex::mixer::SendOrder.back(), 0);
        QCOMPARE(int(sysex::mixer::ControlChangeStatus(Parts[0].Channel)), 0xB9);
        QCOMPARE(int(sysex::mixer::ControlChangeStatus(1)), 0xB0);
        QCOMPARE(sysex::mixer::PartOfBlockByte(0x17), std::nullopt);
        QCOMPARE(sysex::mixer::PartOfBlockByte(0x00), std::nullopt);
    }

    void controlChanges_data()
    {
        QTest::addColumn<int>("group");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("controller");
        QTest::addColumn<int>("value");
        QTest::newRow("level 127") << int(sysex::mixer::TSendGroup::Level) << 127 << 0x07 << 0x7F;
        QTest::newRow("pan -64") << int(sysex::mixer::TSendGroup::Pan) << -64 << 0x0A << 0x00;
        QTest::newRow("pan 0") << int(sysex::mixer::TSendGroup::Pan) << 0 << 0x0A << 0x40;
        QTest::newRow("pan 63") << int(sysex::mixer::TSendGroup::Pan) << 63 << 0x0A << 0x7F;
        QTest::newRow("reverb 5") << int(sysex::mixer::TSendGroup::ReverbSend) << 5 << 0x5B << 5;
        QTest::newRow("delay 100")
            << int(sysex::mixer::TSendGroup::DelaySend) << 100 << 0x5E << 100;
    }
    void controlChanges()
    {
        QFETCH(int, group);
        QFETCH(int, position);
        QFETCH(int, controller);
        QFETCH(int, value);
        const auto g = static_cast<sysex::mixer::TSendGroup>(group);
        QCOMPARE(int(sysex::mixer::Field(sysex::mixer::SendGroupInfo(g).Field).SendByte),
                 controller);
        QCOMPARE(int(sysex::mixer::ControlChangeValue(g, position)), value);
    }

    void groupInfo()
    {
        const auto &level = sysex::mixer::SendGroupInfo(sysex::mixer::TSendGroup::Level);
        QCOMPARE(sysex::mixer::Field(level.Field).ObjectName, "BarMixer");
        QCOMPARE(level.Title, "Part Mixer");
        QCOMPARE(level.Start, 100);
        const auto &pan = sysex::mixer::SendGroupInfo(sysex::mixer::TSendGroup::Pan);
        QCOMPARE(pan.Minimum, -64);
        QCOMPARE(pan.Maximum, 63);
        QCOMPARE(pan.Hint, "Use this to set the pan on each part");
    }

    void transposeMessages_data()
    {
        QTest::addColumn<int>("part");
        QTest::addColumn<int>("position");
        QTest::addColumn<TBytes>("expected");
        // Part 3's bar at the top end.
        QTest::newRow("part 3 top")
            << 3 << -48
            << BytesOf({0x00, 0xF0, 0x41, 0x10, 0x3A, 0x12, 0x32, 0x55, 0x70, 0x00, 0x09, 0xF7});
        QTest::newRow("part 1 middle") << 1 << 0 << SysExOfText("00 F0 41 10 3A 12 30 55 40 00");
        QTest::newRow("part R bottom") << 0 << 48 << SysExOfText("00 F0 41 10 3A 12 39 55 10 00");
    }
    void transposeMessages()
    {
        QFETCH(int, part);
        QFETCH(int, position);
        QFETCH(TBytes, expected);
        QCOMPARE(SysExOfText(sysex::mixer::TransposeMessage(Model3A17, part, position)), expected);
    }

    void mfxPartMessages()
    {
        // Only part R ticked: parts 1 to 7 closing with 00, then R closing with 09.
        const int checksums[] = {0x7A, 0x79, 0x78, 0x77, 0x76, 0x75, 0x74};
        for (int p = 0; p < 7; ++p) {
            const TBytes m = SysExOfText(sysex::mixer::MfxPartMessage(Model3A17, p + 1, false));
            QCOMPARE(m,
                     BytesOf({0x00, 0xF0, 0x41, 0x10, 0x3A, 0x12, 0x30 + p, 0x56, 0x00, 0x00,
                              checksums[p], 0xF7}));
        }
        QCOMPARE(SysExOfText(sysex::mixer::MfxPartMessage(Model3A17, 0, true)),
                 BytesOf({0x00, 0xF0, 0x41, 0x10, 0x3A, 0x12, 0x39, 0x56, 0x01, 0x09, 0x67, 0xF7}));
        QCOMPARE(SysExOfText(sysex::mixer::MfxPartMessage(Model3A17, 0, false))[9], 0x09);
    }

    void switchMessages()
    {
        QCOMPARE(sysex::mixer::SwitchMessage(Header17, F::ReverbSwitch, true),
                 Header17 + "00 00 00 0A 01");
        QCOMPARE(sysex::mixer::SwitchMessage(Header17, F::DelaySwitch, false),
                 Header17 + "00 00 00 09 00");
        QCOMPARE(sysex::mixer::SwitchMessage(Header17, F::MfxSwitch, true),
                 Header17 + "00 00 00 08 01");
    }

    void reverbGroup()
    {
        const std::vector<std::string> messages = sysex::mixer::GroupMessages(
            Header17, sysex::mixer::TSending::ReverbGroup, std::array {5, 100, 7, 17, 9});
        const std::vector<std::string> expected {
            Header17 + "01 00 00 28 05", Header17 + "01 00 00 29 64", Header17 + "01 00 00 2A 07",
            Header17 + "01 00 00 2B 11", Header17 + "01 00 00 1D 09"};
        QCOMPARE(messages, expected);
        QCOMPARE(SysExOfText(messages[1]), SysExOfText("F0 41 10 00 0B 12 01 00 00 29 64"));
        QCOMPARE(SysExOfText(messages[1])[11], 0x72);
    }

    void reverbGroupWithoutSelection()
    {
        // Lists without a selection are left out; the rest keep their order.
        const std::array settings {-1, 1, 2, -1, 3};
        const std::vector<std::string> expected {
            Header17 + "01 00 00 29 01", Header17 + "01 00 00 2A 02", Header17 + "01 00 00 1D 03"};
        QCOMPARE(
            sysex::mixer::GroupMessages(Header17, sysex::mixer::TSending::ReverbGroup, settings),
            expected);
    }

    void delayGroup()
    {
        const std::array settings {10, 1, 17, 120, 98, 2, 3};
        const std::vector<std::string> expected {
            Header17 + "01 00 00 22 0A", Header17 + "01 00 00 23 01", Header17 + "01 00 00 24 11",
            Header17 + "01 00 00 25 78", Header17 + "01 00 00 26 62", Header17 + "01 00 00 27 02",
            Header17 + "01 00 00 1C 03"};
        QCOMPARE(
            sysex::mixer::GroupMessages(Header17, sysex::mixer::TSending::DelayGroup, settings),
            expected);

        const std::array none {4, -1, -1, 5, 6, -1, 7};
        const std::vector<std::string> kept {
            Header17 + "01 00 00 22 04", Header17 + "01 00 00 25 05", Header17 + "01 00 00 26 06",
            Header17 + "01 00 00 1C 07"};
        QCOMPARE(sysex::mixer::GroupMessages(Header17, sysex::mixer::TSending::DelayGroup, none),
                 kept);
    }

    void items()
    {
        QCOMPARE(sysex::mixer::ReverbTypeItems[5], "Hall 2");
        QCOMPARE(sysex::mixer::HfDampItems[16], "8000");
        QCOMPARE(sysex::mixer::HfDampItems[17], "Byp.");
        QCOMPARE(sysex::mixer::DelayOutputItems[2], "Line+Rev");
        QCOMPARE(sysex::mixer::DelayTypeItems[1], "Long");
    }

    void openingRequests()
    {
        const auto requests = sysex::mixer::OpeningRequests(sysex::DataRequestHeader(17));
        QCOMPARE(SysExOfText(requests[0].Text),
                 BytesOf({0xF0, 0x41, 0x10, 0x00, 0x0B, 0x11, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                          0x19, 0x1A, 0x4C, 0xF7}));
        QCOMPARE(SysExOfText(requests[1].Text),
                 BytesOf({0xF0, 0x41, 0x10, 0x00, 0x0B, 0x11, 0x01, 0x00, 0x19, 0x00, 0x00, 0x00,
                          0x00, 0x1A, 0x4C, 0xF7}));
        QCOMPARE(SysExOfText(requests[2].Text),
                 BytesOf({0xF0, 0x41, 0x10, 0x00, 0x0B, 0x11, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00,
                          0x00, 0x03, 0x75, 0xF7}));
        QCOMPARE(requests[0].WaitMs, 500);
        QCOMPARE(requests[1].WaitMs, 500);
        QCOMPARE(requests[2].WaitMs, 1000);
        // Device ID 0 (no settings file yet) still gives a valid device byte.
        QCOMPARE(SysExOfText(sysex::mixer::OpeningRequests(sysex::DataRequestHeader(0))[0].Text)[2],
                 0x10);
    }

    void decodePartBlock_data()
    {
        QTest::addColumn<TBytes>("message");
        QTest::addColumn<int>("part");
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("pan");
        QTest::addColumn<int>("transpose");
        QTest::addColumn<bool>("mfx");
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("reverb");
        QTest::newRow("part R") << DataSetMessage({1, 0, 0x19, 0},
                                                  PartData(90, 0x40, 0x30, 1, 3, 4))
                                << 0 << 90 << 0 << 0 << true << 3 << 4;
        QTest::newRow("part 7") << DataSetMessage({1, 0, 0x16, 0}, PartData(1, 0x00, 0x00, 2, 5, 6))
                                << 7 << 1 << -64 << 48 << false << 5 << 6;
        QTest::newRow("pan 7F, transpose 60")
            << DataSetMessage({1, 0, 0x10, 0}, PartData(0, 0x7F, 0x60, 0, 0, 0)) << 1 << 0 << 63
            << -48 << false << 0 << 0;
        QTest::newRow("transpose 7F")
            << DataSetMessage({1, 0, 0x11, 0}, PartData(0, 0, 0x7F, 0, 0, 0)) << 2 << 0 << -64
            << -79 << false << 0 << 0;
    }
    void decodePartBlock()
    {
        QFETCH(TBytes, message);
        QFETCH(int, part);
        const sysex::mixer::TDecodedMessage decoded = sysex::mixer::DecodeMessage(message);
        QVERIFY(decoded.PartBlock);
        QVERIFY(!decoded.Common);
        QCOMPARE(decoded.PartBlock->Part, part);
        const auto v = [&](F field) { return sysex::mixer::At(decoded.PartBlock->Values, field); };
        QTEST(v(F::Level), "level");
        QTEST(v(F::Pan), "pan");
        QTEST(v(F::Transpose), "transpose");
        QTEST(v(F::PartMfx) != 0, "mfx");
        QTEST(v(F::DelaySend), "delay");
        QTEST(v(F::ReverbSend), "reverb");
    }

    void decodeCommonBlock()
    {
        const sysex::mixer::TDecodedMessage decoded
            = sysex::mixer::DecodeMessage(DataSetMessage({1, 0, 0, 0}, CommonData()));
        QVERIFY(decoded.Common);
        QVERIFY(!decoded.Switches);
        QVERIFY(!decoded.PartBlock);
        const auto c = [&](F field) { return sysex::mixer::At(*decoded.Common, field); };
        // Offset o holds o + 1.
        QCOMPARE(c(F::DelayToMfx), 0x1C + 1);
        QCOMPARE(c(F::ReverbToMfx), 0x1D + 1);
        QCOMPARE(c(F::DelayLevel), 0x22 + 1);
        QCOMPARE(c(F::DelayType), 0x23 + 1);
        QCOMPARE(c(F::DelayHfDamp), 0x24 + 1);
        QCOMPARE(c(F::DelayTime), 0x25 + 1);
        QCOMPARE(c(F::DelayFeedback), 0x26 + 1);
        QCOMPARE(c(F::DelayOutput), 0x27 + 1);
        QCOMPARE(c(F::ReverbType), 0x28 + 1);
        QCOMPARE(c(F::ReverbLevel), 0x29 + 1);
        QCOMPARE(c(F::ReverbTime), 0x2A + 1);
        QCOMPARE(c(F::ReverbHfDamp), 0x2B + 1);
    }

    void decodeSwitchBlock_data()
    {
        QTest::addColumn<TBytes>("data");
        QTest::addColumn<bool>("mfx");
        QTest::addColumn<bool>("delay");
        QTest::addColumn<bool>("reverb");
        QTest::newRow("all on") << BytesOf({1, 1, 1}) << true << true << true;
        QTest::newRow("all off") << BytesOf({0, 0, 0}) << false << false << false;
        QTest::newRow("only 01 is on") << BytesOf({2, 0x7F, 1}) << false << false << true;
    }
    void decodeSwitchBlock()
    {
        QFETCH(TBytes, data);
        const sysex::mixer::TDecodedMessage decoded
            = sysex::mixer::DecodeMessage(DataSetMessage({0, 0, 0, 8}, data));
        QVERIFY(decoded.Switches);
        QVERIFY(!decoded.Common);
        QVERIFY(!decoded.PartBlock);
        QTEST(sysex::mixer::At(*decoded.Switches, F::MfxSwitch) != 0, "mfx");
        QTEST(sysex::mixer::At(*decoded.Switches, F::DelaySwitch) != 0, "delay");
        QTEST(sysex::mixer::At(*decoded.Switches, F::ReverbSwitch) != 0, "reverb");
    }

    // A test reads nothing unless the whole address is its block's: a tone block read as a part
    // row would otherwise be sent back as control changes.
    void testsCheckTheWholeAddress_data()
    {
        QTest::addColumn<TBytes>("address");
        QTest::addColumn<bool>("switches");
        QTest::addColumn<bool>("common");
        QTest::addColumn<bool>("part");
        QTest::newRow("tone 1 of part 1") << BytesOf({2, 0, 0x10, 0}) << false << false << false;
        QTest::newRow("tone 4 of part 7") << BytesOf({2, 6, 0x16, 0}) << false << false << false;
        QTest::newRow("patch common") << BytesOf({2, 0, 0, 0}) << false << false << false;
        QTest::newRow("01 01 10 00") << BytesOf({1, 1, 0x10, 0}) << false << false << false;
        QTest::newRow("00 01 00 08") << BytesOf({0, 1, 0, 8}) << false << false << false;
        QTest::newRow("01 00 00 08") << BytesOf({1, 0, 0, 8}) << false << true << false;
        QTest::newRow("00 00 00 08") << BytesOf({0, 0, 0, 8}) << true << false << false;
        QTest::newRow("part R") << BytesOf({1, 0, 0x19, 0}) << false << false << true;
    }
    void testsCheckTheWholeAddress()
    {
        QFETCH(TBytes, address);
        const sysex::mixer::TDecodedMessage decoded = sysex::mixer::DecodeMessage(DataSetMessage(
            {address[0], address[1], address[2], address[3]},
            TBytes(sysex::mixer::BlockInfo(sysex::mixer::TBlock::PatternCommon).Size, 1)));
        QTEST(decoded.Switches.has_value(), "switches");
        QTEST(decoded.Common.has_value(), "common");
        QTEST(decoded.PartBlock.has_value(), "part");
    }

    void shortMessagesAreNotApplied_data()
    {
        QTest::addColumn<TBytes>("whole");
        QTest::addColumn<int>("lastNeeded");
        QTest::newRow("part") << DataSetMessage({1, 0, 0x12, 0}, PartData(1, 2, 3, 1, 5, 6)) << 23;
        QTest::newRow("common") << DataSetMessage({1, 0, 0, 0}, CommonData()) << 53;
        QTest::newRow("switch") << DataSetMessage({0, 0, 0, 8}, BytesOf({1, 1, 1})) << 12;
    }
    void shortMessagesAreNotApplied()
    {
        // Every cut of a message: a test whose bytes are not all there is not passed, and
        // nothing is read past the end (the sanitizer build checks the reads). A piece without
        // F7 has no checksum; a cut closed by F7 loses one more byte to its checksum.
        QFETCH(TBytes, whole);
        QFETCH(int, lastNeeded);
        const auto passed = [](const sysex::mixer::TDecodedMessage &d) {
            return d.PartBlock.has_value() || d.Common.has_value() || d.Switches.has_value();
        };
        for (int length = 0; length <= int(whole.size()); ++length) {
            TBytes piece(whole.begin(), whole.begin() + length);
            QCOMPARE(passed(sysex::mixer::DecodeMessage(piece)), length > lastNeeded);
            piece.push_back(0xF7);
            QCOMPARE(passed(sysex::mixer::DecodeMessage(piece)), length > lastNeeded + 1);
        }
        QVERIFY(passed(sysex::mixer::DecodeMessage(whole)));
    }

    void garbage()
    {
        QVERIFY(!sysex::mixer::DecodeMessage({}).PartBlock);
        QVERIFY(!sysex::mixer::DecodeMessage(BytesOf({0xF0, 0xF7})).Switches);
        const sysex::mixer::TDecodedMessage nine = sysex::mixer::DecodeMessage(TBytes(9, 0x19));
        QVERIFY(!nine.PartBlock); // b[8] = 19 but no data at all
        QRandomGenerator random(307);
        for (int round = 0; round < 2000; ++round) {
            TBytes bytes(random.bounded(80));
            for (auto &b : bytes)
                b = static_cast<std::uint8_t>(random.bounded(256));
            const sysex::mixer::TDecodedMessage decoded = sysex::mixer::DecodeMessage(bytes);
            if (decoded.PartBlock)
                QVERIFY(bytes.size() >= 24);
            if (decoded.Common)
                QVERIFY(bytes.size() >= 54);
            if (decoded.Switches)
                QVERIFY(bytes.size() >= 13);
        }
    }
};

QTEST_GUILESS_MAIN(TestMixerProtocol)
#include "tst_sysex_mixermessages.moc"
