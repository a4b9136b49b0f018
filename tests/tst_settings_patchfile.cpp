// Patch files: what a saved patch holds, and what an opened one sends. A file is taken whole or
// refused whole with the offset of its first bad message; what it sends writes the same bytes
// into the chosen part of any instrument, in packets the instrument takes.

#include "settings/ConfFile.h"
#include "settings/PatchFileStorage.h"
#include "support/RawFile.h"
#include "sysex/PatchFile.h"
#include "sysex/RolandMessage.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <map>

using midi::TByteStream;
using TList = std::vector<TByteStream>;

Q_DECLARE_METATYPE(TByteStream)

namespace {

constexpr int CommonSize = 0x4A;
constexpr int ToneSize = 0x81;

std::uint32_t Linear(std::span<const std::uint8_t, 4> a)
{
    return (std::uint32_t(a[0]) << 21) | (std::uint32_t(a[1]) << 14) | (std::uint32_t(a[2]) << 7)
        | a[3];
}

TByteStream DataSet(std::uint8_t device, std::array<std::uint8_t, 4> address,
                    const std::vector<std::uint8_t> &data)
{
    TByteStream message {0xF0, 0x41, device, 0x00, 0x0B, 0x12};
    message.reserve(message.size() + address.size() + data.size() + 2);
    for (std::uint8_t byte : address)
        message.push_back(byte);
    for (std::uint8_t byte : data)
        message.push_back(byte);
    message.push_back(midi::RolandChecksum(message.data() + 6, message.size() - 6));
    message.push_back(0xF7);
    return message;
}

std::vector<std::uint8_t> RandomBytes(QRandomGenerator &random, int count)
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
    for (auto &byte : bytes)
        byte = static_cast<std::uint8_t>(random.bounded(0x80));
    return bytes;
}

// A whole patch of part as an instrument answers it; with split, a tone block comes as a page of
// 128 bytes and the rest on the next page, as the owner's manual packets them.
TList PatchAnswer(QRandomGenerator &random, std::uint8_t device, std::uint8_t part, bool split)
{
    TList messages {DataSet(device, {0x02, part, 0x00, 0x00}, RandomBytes(random, CommonSize))};
    for (std::uint8_t page : {0x10, 0x12, 0x14, 0x16}) {
        const auto tone = RandomBytes(random, ToneSize);
        if (split) {
            messages.push_back(
                DataSet(device, {0x02, part, page, 0x00}, {tone.begin(), tone.begin() + 128}));
            messages.push_back(DataSet(device, {0x02, part, std::uint8_t(page + 1), 0x00},
                                       {tone.begin() + 128, tone.end()}));
        } else {
            messages.push_back(DataSet(device, {0x02, part, page, 0x00}, tone));
        }
    }
    return messages;
}

TByteStream Joined(const TList &messages)
{
    TByteStream bytes;
    for (const auto &message : messages)
        bytes.insert(bytes.end(), message.begin(), message.end());
    return bytes;
}

// The memory a list of data sets writes, by linear address; checks each is a whole data set.
std::map<std::uint32_t, std::uint8_t> Written(const TList &messages, std::uint8_t device)
{
    std::map<std::uint32_t, std::uint8_t> memory;
    for (const auto &m : messages) {
        if (m.size() < 13 || m[0] != 0xF0 || m[2] != device || m.back() != 0xF7) {
            qWarning("not a data set of device %d", device);
            return {};
        }
        if (m[m.size() - 2] != midi::RolandChecksum(m.data() + 6, m.size() - 8)) {
            qWarning("bad checksum");
            return {};
        }
        std::uint32_t address = Linear(std::span<const std::uint8_t, 4>(m.data() + 6, 4));
        for (std::size_t i = 10; i + 2 < m.size(); ++i)
            memory[address++] = m[i];
    }
    return memory;
}

} // namespace

class TPatchFileTest : public QObject
{
    Q_OBJECT

private slots:
    // Property over random patches, every source and target part and both packetings: what the
    // file sends writes exactly the file's bytes into the target part, in packets of at most 128
    // data bytes with our device byte, and nothing outside the patch of that part.
    void SendsTheFileIntoThePart()
    {
        QRandomGenerator random(307);
        for (int round = 0; round < 40; ++round) {
            const auto from = std::uint8_t(random.bounded(7));
            const auto to = std::uint8_t(random.bounded(7));
            const bool split = round % 2;
            const auto deviceId = 17 + random.bounded(16);
            const TList answer
                = PatchAnswer(random, std::uint8_t(0x10 + random.bounded(16)), from, split);
            const auto read = sysex::ParsePatchFile(Joined(answer));
            QVERIFY(!read.Error);
            QCOMPARE(read.File.Part, int(from));
            QCOMPARE(read.File.Skipped, 0);
            QCOMPARE(read.File.Messages.size(), answer.size());

            const TList sent = sysex::PatchFileMessages(read.File, deviceId, to);
            for (const auto &packet : sent)
                QVERIFY(packet.size() - 12 <= sysex::MaxPacketData);
            auto expected = Written(answer, answer[0][2]);
            std::map<std::uint32_t, std::uint8_t> moved;
            for (const auto &[address, byte] : expected)
                moved[address - (std::uint32_t(from) << 14) + (std::uint32_t(to) << 14)] = byte;
            QCOMPARE(Written(sent, std::uint8_t(deviceId - 1)), moved);
            QCOMPARE(moved.size(), std::size_t(CommonSize + 4 * ToneSize));
        }
    }

    // Other messages are skipped and counted, wherever they stand; the patch still goes.
    void SkipsAndCountsOtherMessages()
    {
        QRandomGenerator random(1);
        const TList patch = PatchAnswer(random, 0x10, 3, false);
        const TList others {
            {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7}, // another maker
            {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}, // Inquiry Request
            {0xF0, 0x41, 0x10, 0x00, 0x0B, 0x11, 0x02, 0x03, 0x00, 0x00, 0x00, 0x00, 0x17, 0x01,
             0x63, 0xF7}, // a request
            DataSet(0x10, {0x01, 0x00, 0x12, 0x00}, {1, 2, 3}), // the pattern, not the patch
            DataSet(0x10, {0x02, 0x03, 0x20, 0x00}, {1}), // no patch block
            DataSet(0x10, {0x02, 0x05, 0x10, 0x00}, {1}), // another part than the first
            {0xF0, 0xF7},
        };
        TList file = others;
        file.insert(file.begin() + 3, patch.begin(), patch.end());
        const auto read = sysex::ParsePatchFile(Joined(file));
        QVERIFY(!read.Error);
        QCOMPARE(read.File.Skipped, int(others.size()));
        QCOMPARE(read.File.Part, 3);
        QCOMPARE(read.File.Messages.size(), patch.size());
    }

    // A pattern's dump holds several parts' patches: each is kept, by part, with its name (a
    // character the instrument does not take read as a space), what it skips and how many of its
    // blocks it does not hold whole.
    void FindsEveryPartsPatch()
    {
        QRandomGenerator random(5);
        const auto name = [](std::uint8_t part, std::string text) {
            return DataSet(0x10, {0x02, part, 0x00, 0x00}, {text.begin(), text.end()});
        };
        TList file = PatchAnswer(random, 0x10, 5, true);
        file.push_back(name(5, "Moon Synth  "));
        file.push_back({0xF0, 0x43, 0x10, 0x00, 0xF7});
        const TList two = PatchAnswer(random, 0x10, 2, false);
        file.insert(file.end(), two.begin(), two.end());
        file.push_back(name(2, "Deep~Bass\x01  "));
        file.push_back(name(0, "Cut"));
        file.push_back(DataSet(0x10, {0x02, 0x00, 0x10, 0x00}, RandomBytes(random, ToneSize)));
        const auto read = sysex::ParsePatchFile(Joined(file));
        QVERIFY(!read.Error);
        QCOMPARE(read.File.Part, 5);
        QStringList found;
        for (const sysex::TPatchFile &patch : read.Parts)
            found << QStringLiteral("%1 %2 %3 %4")
                         .arg(patch.Part)
                         .arg(QString::fromStdString(sysex::PatchFileName(patch).value_or("-")))
                         .arg(patch.Skipped)
                         .arg(sysex::MissingFileBlocks(patch).size());
        QCOMPARE(found, (QStringList {"0 - 17 4", "2 Deep Bass 13 0", "5 Moon Synth 9 0"}));
    }

    void RefusesBadFiles_data()
    {
        QTest::addColumn<TByteStream>("bytes");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("why");
        const TByteStream good = DataSet(0x10, {0x02, 0x00, 0x10, 0x00}, {1, 2, 3});
        auto after = [&](TByteStream tail) {
            TByteStream bytes = good;
            bytes.insert(bytes.end(), tail.begin(), tail.end());
            return bytes;
        };
        TByteStream badSum = DataSet(0x10, {0x02, 0x00, 0x12, 0x00}, {1, 2, 3});
        badSum[badSum.size() - 2] ^= 1;
        TByteStream cut = DataSet(0x10, {0x02, 0x00, 0x12, 0x00}, {1, 2, 3});
        cut.pop_back();
        QTest::newRow("empty") << TByteStream {} << 0 << "no patch data";
        QTest::newRow("another maker only")
            << TByteStream {0xF0, 0x43, 0x10, 0x00, 0xF7} << 0 << "no patch data (1 other";
        QTest::newRow("random bytes") << TByteStream {0x12, 0xF0, 0xF7} << 0 << "byte 12 outside";
        QTest::newRow("stray byte after a message")
            << after({0x00}) << int(good.size()) << "byte 00 outside";
        QTest::newRow("bad checksum") << after(badSum) << int(good.size()) << "bad checksum";
        QTest::newRow("truncated") << after(cut) << int(good.size()) << "file ends before its F7";
        QTest::newRow("status byte inside")
            << after({0xF0, 0x41, 0x10, 0xF0, 0xF7}) << int(good.size()) << "status byte F0";
        QTest::newRow("too short")
            << after({0xF0, 0x41, 0x10, 0x00, 0x0B, 0x12, 0x02, 0x00, 0x10, 0x00, 0xF7})
            << int(good.size()) << "too short";
        QTest::newRow("past the tone block")
            << after(DataSet(0x10, {0x02, 0x00, 0x17, 0x7F}, {1, 2})) << int(good.size())
            << "2 data bytes run past";
        QTest::newRow("past the common block")
            << after(DataSet(0x10, {0x02, 0x00, 0x0F, 0x7F}, {1, 2})) << int(good.size())
            << "run past";
        // The first bad message is named even when a good one follows.
        TByteStream twoBad = after(badSum);
        twoBad.insert(twoBad.end(), cut.begin(), cut.end());
        QTest::newRow("first of two") << twoBad << int(good.size()) << "bad checksum";
    }
    void RefusesBadFiles()
    {
        QFETCH(TByteStream, bytes);
        QFETCH(int, offset);
        QFETCH(QString, why);
        const auto read = sysex::ParsePatchFile(bytes);
        QVERIFY(read.Error);
        QCOMPARE(read.Error->Offset, std::size_t(offset));
        QVERIFY2(QString::fromStdString(read.Error->Why).contains(why), read.Error->Why.c_str());
        QVERIFY(read.File.Messages.empty());
    }

    void MissingBlocks_data()
    {
        QTest::addColumn<int>("drop"); // message of the split answer left out, or -1
        QTest::addColumn<int>("part"); // asked for
        QTest::addColumn<QStringList>("missing");
        QTest::newRow("complete") << -1 << 2 << QStringList {};
        QTest::newRow("common") << 0 << 2 << QStringList {"Common"};
        QTest::newRow("tone 1 start") << 1 << 2 << QStringList {"Tone 1"};
        QTest::newRow("tone 3 start") << 5 << 2 << QStringList {"Tone 3"};
        QTest::newRow("tone 4 start") << 7 << 2 << QStringList {"Tone 4"};
        QTest::newRow("another part")
            << -1 << 4 << QStringList {"Common", "Tone 1", "Tone 2", "Tone 3", "Tone 4"};
    }
    void MissingBlocks()
    {
        QFETCH(int, drop);
        QFETCH(int, part);
        QFETCH(QStringList, missing);
        QRandomGenerator random(5);
        TList received = PatchAnswer(random, 0x10, 2, true);
        if (drop >= 0)
            received.erase(received.begin() + drop);
        QStringList names;
        for (const auto &name : sysex::MissingPatchBlocks(received, part))
            names << QString::fromStdString(name);
        QCOMPARE(names, missing);
        // Unsplit answers are complete too.
        QVERIFY(sysex::MissingPatchBlocks(PatchAnswer(random, 0x10, 2, false), 2).empty());
    }

    void LoadsAndSavesFiles()
    {
        QTemporaryDir dir;
        QRandomGenerator random(9);
        const TList patch = PatchAnswer(random, 0x10, 1, true);
        const QString path = dir.filePath("Patch.syx");
        QVERIFY(!settings::SavePatchFile(path, patch));
        const TByteStream joined = Joined(patch);
        QCOMPARE(
            ReadRaw(path),
            QByteArray(reinterpret_cast<const char *>(joined.data()), qsizetype(joined.size())));
        const auto load = settings::LoadPatchFile(path);
        QVERIFY2(load.Error.isEmpty(), qPrintable(load.Error));
        QCOMPARE(load.File.Messages.size(), patch.size());

        // Refused unread, each with the file's name and why.
        const QString big = dir.filePath("big.syx");
        WriteRaw(big, QByteArray(qsizetype(sysex::MaxPatchFileBytes) + 1, char(0xF0)));
        const QString bad = dir.filePath("bad.syx");
        WriteRaw(bad, QByteArray("\xF0\x41\x10\x00\x0B\x12\x02\x00\x10\x00\x01\x00\xF7", 13));
        const std::pair<QString, QString> refused[] {
            {dir.path(), "is a directory"},
            {dir.filePath("none.syx"), "no such file"},
            {big, "too large"},
            {bad, "at byte 0, bad checksum"},
        };
        for (const auto &[file, why] : refused) {
            const auto failed = settings::LoadPatchFile(file);
            QVERIFY2(failed.Error.contains(file) && failed.Error.contains(why),
                     qPrintable(failed.Error));
            QVERIFY(failed.File.Messages.empty());
        }

        // A save that cannot be made leaves the old file as it was.
        QVERIFY(settings::SavePatchFile(dir.filePath("no/such/dir/Patch.syx"), patch));
        {
            TFileSizeLimit limit(100);
            const auto error = settings::SavePatchFile(path, patch);
            QVERIFY(error && error->contains(path));
        }
        QCOMPARE(ReadRaw(path).size(), qsizetype(joined.size()));
    }

    // Property over random sequences of remembered files: the newest first, each once, five at
    // most, the same after a trip through Ombrix.conf, whose gap stays as it was.
    void RemembersFiveRecentFiles()
    {
        QTemporaryDir dir;
        const QString conf = dir.filePath("Ombrix.conf");
        QVERIFY(settings::ReadRecentPatchFiles(conf).isEmpty());
        settings::WriteConfFile(conf, settings::TConfValues {35});
        QRandomGenerator random(12);
        QStringList recent;
        QStringList order; // every file, newest first
        for (int step = 0; step < 60; ++step) {
            const QString file = QStringLiteral("/patches/%1.syx").arg(random.bounded(8));
            recent = settings::WithRecentPatchFile(recent, file);
            order.removeAll(file);
            order.prepend(file);
            QCOMPARE(recent, order.mid(0, settings::RecentPatchFileCount));
            settings::WriteRecentPatchFiles(conf, recent);
            QCOMPARE(settings::ReadRecentPatchFiles(conf), recent);
        }
        settings::TConfValues values;
        QVERIFY(settings::ReadConfFile(conf, values).Error.empty());
        QCOMPARE(values.GapMs, 35);
        QVERIFY(settings::ReadRecentPatchFiles(dir.path()).isEmpty());
        QVERIFY_THROWS_EXCEPTION(
            settings::ESettingsError,
            settings::WriteRecentPatchFiles(dir.filePath("Ombrix.conf/x.conf"), recent));
    }
};

QTEST_GUILESS_MAIN(TPatchFileTest)
#include "tst_settings_patchfile.moc"
