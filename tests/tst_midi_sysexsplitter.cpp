// The splitter of received bytes, on made-up streams: which entries come out, in which order,
// whatever way the bytes are cut into buffers.

#include "midi/SysExSplitter.h"
#include "support/MessageText.h"

#include <QtTest>

using midi::TSysExSplitter;

namespace {
// Each entry as "<kind> <bytes>", in the order the splitter ends them.
class TTextSink final : public TSysExSplitter::ISink
{
public:
    void Piece(std::span<const std::uint8_t> bytes) noexcept override
    {
        Bytes.insert(Bytes.end(), bytes.begin(), bytes.end());
    }
    void End(TSysExSplitter::TKind kind) noexcept override
    {
        static const char *const names[] = {"message", "cut short", "short", "real-time"};
        Entries << QStringLiteral("%1 %2").arg(names[static_cast<int>(kind)], HexOf(Bytes));
        Bytes.clear();
    }

    QStringList Entries;
    std::vector<std::uint8_t> Bytes;
};
} // namespace

class TestSysExSplitter : public QObject
{
    Q_OBJECT
private slots:
    // The input is buffers separated by '|'; "short ..." is a short message the service handed
    // over by itself, "reset" a device closed and opened again.
    void entries_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("whole") << "F0 41 10 F7" << QStringList {"message F0 41 10 F7"};
        QTest::newRow("over three buffers")
            << "F0 41|10 00|F7" << QStringList {"message F0 41 10 00 F7"};
        QTest::newRow("fragment ahead in one buffer")
            << "F0 41 10 00 0B 12 02 01 10 65 F0 41 10 00 0B 12 02 01 10 00 00 6D F7"
            << QStringList {"cut short F0 41 10 00 0B 12 02 01 10 65",
                            "message F0 41 10 00 0B 12 02 01 10 00 00 6D F7"};
        QTest::newRow("fragment in a buffer of its own")
            << "F0 41 10 65|F0 42 F7" << QStringList {"cut short F0 41 10 65", "message F0 42 F7"};
        QTest::newRow("fragment waits for what ends it") << "F0 41 10" << QStringList {};
        QTest::newRow("real-time inside comes after")
            << "F0 41 F8 10|FE F7 FA"
            << QStringList {"message F0 41 10 F7", "real-time F8", "real-time FE", "real-time FA"};
        QTest::newRow("real-time between")
            << "F8 F0 41 F7 FF" << QStringList {"real-time F8", "message F0 41 F7", "real-time FF"};
        QTest::newRow("status byte inside")
            << "F0 41 90 3C F8 40 F7 F0 42 F7"
            << QStringList {"cut short F0 41 90 3C 40 F7", "real-time F8", "message F0 42 F7"};
        QTest::newRow("bytes after F7")
            << "F0 41 F7 12 34|F7 F0 42 F7"
            << QStringList {"message F0 41 F7", "cut short 12 34 F7", "message F0 42 F7"};
        QTest::newRow("empty message") << "F0 F7" << QStringList {"message F0 F7"};
        QTest::newRow("short ends an open message")
            << "F0 41 10|short B0 07 64|F0 42 F7"
            << QStringList {"cut short F0 41 10", "short B0 07 64", "message F0 42 F7"};
        QTest::newRow("short between")
            << "short C1 05|F0 42 F7" << QStringList {"short C1 05", "message F0 42 F7"};
        QTest::newRow("short real-time inside")
            << "F0 41|short FE|F7" << QStringList {"message F0 41 F7", "real-time FE"};
        QTest::newRow("reset forgets an open message")
            << "F0 41|reset|42 F7 F0 43 F7" << QStringList {"cut short 42 F7", "message F0 43 F7"};
    }
    void entries()
    {
        QFETCH(QString, input);
        QFETCH(QStringList, entries);
        TSysExSplitter splitter;
        TTextSink sink;
        for (const QString &buffer : input.split(QLatin1Char('|'))) {
            if (buffer == QLatin1String("reset")) {
                splitter.Reset();
                sink.Bytes.clear();
            } else if (buffer.startsWith(QLatin1String("short "))) {
                splitter.Short(BytesOf(buffer.mid(6)), sink);
            } else {
                splitter.Feed(BytesOf(buffer), sink);
            }
        }
        QCOMPARE(sink.Entries, entries);
        QCOMPARE(splitter.DroppedRealTime(), std::uint64_t(0));
    }

    // Real-time bytes held inside one entry have a bound; the rest are counted, not kept.
    void heldRealTimeIsBounded()
    {
        TSysExSplitter splitter;
        TTextSink sink;
        std::vector<std::uint8_t> bytes(TSysExSplitter::HeldRealTimeCount + 3, 0xF8);
        bytes.front() = 0xF0;
        bytes.push_back(0xF7);
        splitter.Feed(bytes, sink);
        QCOMPARE(sink.Entries.size(), qsizetype(1 + TSysExSplitter::HeldRealTimeCount));
        QCOMPARE(sink.Entries.front(), QString("message F0 F7"));
        QCOMPARE(splitter.DroppedRealTime(), std::uint64_t(2));
    }

    void whatCountsAsCutShort_data()
    {
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<bool>("cutShort");
        QTest::newRow("message") << "F0 41 F7" << false;
        QTest::newRow("no F7") << "F0 41" << true;
        QTest::newRow("status inside") << "F0 90 F7" << true;
        QTest::newRow("no F0") << "41 F7" << true;
        QTest::newRow("lone F7") << "F7" << true;
        QTest::newRow("short") << "B0 07 64" << false;
        QTest::newRow("short without its data") << "B0 07" << true;
        QTest::newRow("running on") << "F2 41 10 00" << true;
        QTest::newRow("song select") << "F3 01" << false;
        QTest::newRow("real-time") << "FE" << false;
        QTest::newRow("nothing") << "" << false;
    }
    void whatCountsAsCutShort()
    {
        QFETCH(QString, bytes);
        QFETCH(bool, cutShort);
        QCOMPARE(midi::IsCutShort(BytesOf(bytes)), cutShort);
    }
};

QTEST_GUILESS_MAIN(TestSysExSplitter)
#include "tst_midi_sysexsplitter.moc"
