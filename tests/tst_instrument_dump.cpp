// Bulk dumps for the virtual instrument: a pattern dump's data sets stored as bytes whatever
// their device, answered back as the dump carried them, a patch selection among them loading no
// patch; and the files that cannot fill the instrument refused with a reason, by the reader and
// by ombrix-virtual-instrument before it looks for JACK.

#include "instrument/BulkDump.h"
#include "instrument/VirtualInstrument.h"
#include "support/MadeUpDump.h"
#include "support/MessageText.h"
#include "support/RawFile.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using instrument::TVirtualInstrument;
using madeup::TBytes;
using madeup::TDumpMessage;

namespace {

QByteArray AsFile(const TBytes &bytes)
{
    return {reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size())};
}

// The instrument's answers to a request, as the data sets they carry.
std::vector<TDumpMessage> AnswersTo(TVirtualInstrument &instrument, instrument::TAddress from,
                                    instrument::TAddress size)
{
    std::vector<TDumpMessage> carried;
    for (const auto &answer : instrument.Receive(RequestMessage(from, size)))
        carried.push_back({{answer[6], answer[7], answer[8], answer[9]},
                           TBytes(answer.begin() + 10, answer.end() - 2)});
    return carried;
}

// A data set written in a test: its address, its size, and data counting up from its seed.
struct TWrite
{
    instrument::TAddress Address;
    int Size;
};
using TWrites = std::vector<TWrite>;
using TPieces = std::vector<TWrite>; // the pieces answered: where and how many bytes

std::uint32_t Linear(const instrument::TAddress &address)
{
    return instrument::LinearAddress(address);
}

// The bytes of a piece: each the last write's that covers it.
TBytes LastWritten(const TWrites &writes, const TWrite &piece)
{
    TBytes bytes(std::size_t(piece.Size), 0);
    const std::uint32_t from = Linear(piece.Address);
    const std::uint32_t to = from + std::uint32_t(piece.Size);
    for (std::size_t w = 0; w < writes.size(); ++w) {
        const std::uint32_t start = Linear(writes[w].Address);
        const TBytes data = madeup::Filled(writes[w].Size, int(w));
        for (std::uint32_t at = std::max(from, start);
             at < std::min(to, start + std::uint32_t(data.size())); ++at)
            bytes[at - from] = data[at - start];
    }
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(TWrites)

class TestInstrumentDump : public QObject
{
    Q_OBJECT

    QTemporaryDir Dir;

    QString Write(const QString &name, const TBytes &bytes)
    {
        const QString path = Dir.filePath(name);
        WriteRaw(path, AsFile(bytes));
        return path;
    }

private slots:
    void patternDumpIsHeldByteForByte()
    {
        const std::vector<TDumpMessage> messages = madeup::PatternDumpMessages();
        QCOMPARE(int(messages.size()), madeup::DumpMessageCount);
        const instrument::TDumpRead read = instrument::ReadDumpFile(
            Write("pattern.syx", madeup::FileOf(messages)).toStdString());
        QVERIFY2(read.Error.empty(), read.Error.c_str());
        QCOMPARE(int(read.Dump.DataSets.size()), madeup::DumpMessageCount);

        TVirtualInstrument instrument;
        const std::uint64_t received = instrument.ReceivedCount();
        instrument.Load(read.Dump);
        QCOMPARE(instrument.ReceivedCount(), received);
        for (const TDumpMessage &m : messages)
            QVERIFY2(instrument.Read(m.Address, int(m.Data.size())) == m.Data,
                     qPrintable(HexOf(m.Address)));
        // The held areas answer their pieces as the dump carried them.
        std::vector<TDumpMessage> held(messages.begin() + 10, messages.begin() + 10 + 65 + 1 + 48);
        QVERIFY(AnswersTo(instrument, {0x02, 0x09, 0, 0}, {0x7F, 0x7F, 0x7F, 0x7F}) == held);
        // The part's own name is the dump's.
        const std::string name = madeup::DumpPatchName(4);
        QCOMPARE(instrument.Read({0x02, 0x04, 0, 0}, 12), TBytes(name.begin(), name.end()));
    }

    void heldAreasKeepEachDataSetAsAPiece_data()
    {
        QTest::addColumn<TWrites>("writes");
        QTest::addColumn<TPieces>("pieces"); // the answers to a request of the whole memory
        QTest::newRow("one data set in the rhythm set")
            << TWrites {{{0x02, 0x09, 0x10, 0x00}, 5}} << TPieces {{{0x02, 0x09, 0x10, 0x00}, 5}};
        QTest::newRow("over the end of a piece")
            << TWrites {{{0x40, 0x00, 0x00, 0x00}, 10}, {{0x40, 0x00, 0x00, 0x08}, 6}}
            << TPieces {{{0x40, 0x00, 0x00, 0x00}, 10}, {{0x40, 0x00, 0x00, 0x0A}, 4}};
        QTest::newRow("over the gap between two pieces") << TWrites {{{0x30, 0x00, 0x00, 0x00}, 4},
                                                                     {{0x30, 0x00, 0x00, 0x08}, 4},
                                                                     {{0x30, 0x00, 0x00, 0x02}, 10}}
                                                         << TPieces {{{0x30, 0x00, 0x00, 0x00}, 4},
                                                                     {{0x30, 0x00, 0x00, 0x04}, 4},
                                                                     {{0x30, 0x00, 0x00, 0x08}, 4}};
        QTest::newRow("inside a piece, across pages")
            << TWrites {{{0x40, 0x00, 0x00, 0x00}, 300}, {{0x40, 0x00, 0x00, 0x7E}, 3}}
            << TPieces {{{0x40, 0x00, 0x00, 0x00}, 300}};
        QTest::newRow("past the end of the rhythm set")
            << TWrites {{{0x02, 0x09, 0x7F, 0x7E}, 4}} << TPieces {{{0x02, 0x09, 0x7F, 0x7E}, 2}};
        QTest::newRow("outside the held areas")
            << TWrites {{{0x02, 0x08, 0x00, 0x00}, 4}, {{0x50, 0x00, 0x00, 0x00}, 4}} << TPieces {};
        TWrites many;
        TPieces kept;
        constexpr int Size = 4096;
        for (std::uint32_t piece = 0; piece <= (1u << 20) / Size; ++piece) {
            const instrument::TAddress at
                = instrument::AddressFromLinear(Linear({0x40, 0, 0, 0}) + piece * Size);
            many.push_back({at, Size});
            if (piece < (1u << 20) / Size)
                kept.push_back({at, Size});
        }
        QTest::newRow("a megabyte held, no more") << many << kept;
    }

    void heldAreasKeepEachDataSetAsAPiece()
    {
        QFETCH(TWrites, writes);
        QFETCH(TPieces, pieces);
        TVirtualInstrument instrument;
        instrument::TBulkDump dump;
        for (std::size_t w = 0; w < writes.size(); ++w)
            dump.DataSets.push_back({writes[w].Address, madeup::Filled(writes[w].Size, int(w))});
        instrument.Load(dump);
        std::vector<TDumpMessage> expected;
        for (const TWrite &piece : pieces)
            expected.push_back({piece.Address, LastWritten(writes, piece)});
        QVERIFY(AnswersTo(instrument, {0x02, 0x07, 0, 0}, {0x7F, 0x7F, 0x7F, 0x7F}) == expected);
    }

    // A selection in a dump loads no patch, wherever it lies: the temporary patches keep their
    // bytes, the dump's or those they had.
    void selectionInADumpLoadsNoPatch()
    {
        const std::vector<TDumpMessage> messages = madeup::PatternDumpMessages();
        std::vector<TDumpMessage> selectionsLast(messages.begin() + 124, messages.end());
        selectionsLast.insert(selectionsLast.end(), messages.begin() + 1, messages.begin() + 8);
        TVirtualInstrument instrument;
        const TBytes before = instrument.Read({0x02, 0, 0, 0}, 0x7 << 14);
        instrument::TBulkDump selectionsOnly;
        for (std::size_t i = 1; i < 8; ++i)
            selectionsOnly.DataSets.push_back({messages[i].Address, messages[i].Data});
        instrument.Load(selectionsOnly);
        QCOMPARE(instrument.Read({0x02, 0, 0, 0}, 0x7 << 14), before);
        QCOMPARE(instrument.ReadByte({0x01, 0x00, 0x12, 0x03}), madeup::DumpGroupByte);

        const instrument::TDumpRead read = instrument::ParseDump(madeup::FileOf(selectionsLast));
        QVERIFY2(read.Error.empty(), read.Error.c_str());
        instrument.Load(read.Dump);
        for (const TDumpMessage &m : selectionsLast)
            QCOMPARE(instrument.Read(m.Address, int(m.Data.size())), m.Data);
    }

    void filesThatCannotFillTheInstrument_data()
    {
        QTest::addColumn<QByteArray>("file"); // the bytes, or "missing", "directory", "huge"
        QTest::addColumn<QString>("why");
        const auto bytes = [](const TBytes &b) { return AsFile(b); };
        const TBytes good = DataSetMessage({0x02, 0, 0, 0}, {0x41, 0x42});
        QTest::newRow("missing") << QByteArray("missing") << "does not exist";
        QTest::newRow("directory") << QByteArray("directory") << "is a directory";
        QTest::newRow("over 8 MiB") << QByteArray("huge") << "is too large for a bulk dump";
        QTest::newRow("empty") << QByteArray() << "holds no data set of the MC-307 (0 other";
        // An identity reply, a request and a model-3A data set: the instrument's, but no memory.
        TBytes others = BytesOf({0xF0, 0x7E, 0x10, 0x06, 0x02, 0x41, 0x0B, 0x01, 0x01, 0x00, 0x00,
                                 0x03, 0x00, 0x00, 0xF7});
        const TBytes request = RequestMessage({0x02, 0, 0, 0}, {0, 0, 0, 0x0C});
        others.insert(others.end(), request.begin(), request.end());
        const TBytes model3A
            = BytesOf({0xF0, 0x41, 0x10, 0x3A, 0x12, 0x30, 0x55, 0x40, 0x00, 0x3B, 0xF7});
        others.insert(others.end(), model3A.begin(), model3A.end());
        QTest::newRow("other messages only")
            << bytes(others) << "holds no data set of the MC-307 (3 other messages)";
        TBytes stray = good;
        stray.insert(stray.begin() + 0, 0x41);
        QTest::newRow("stray byte") << bytes(stray) << "has a stray byte 41 at byte 0";
        TBytes cut = good;
        cut.pop_back();
        QTest::newRow("no F7 at the end")
            << bytes(cut) << "message cut short at byte 0: the file ends before its F7";
        TBytes status = good;
        status.insert(status.end() - 1, 0xF8);
        QTest::newRow("status byte inside") << bytes(status) << "status byte F8 before its F7";
        TBytes badSum = good;
        badSum.insert(badSum.end(), good.begin(), good.end());
        badSum[badSum.size() - 2] ^= 0x01;
        QTest::newRow("bad checksum in the second message")
            << bytes(badSum) << "bad checksum at byte " + QString::number(good.size());
        QTest::newRow("no data") << bytes(DataSetMessage({0x02, 0, 0, 0}, {}))
                                 << "data set without data at byte 0";
    }

    void filesThatCannotFillTheInstrument()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, why);
        QString path = Dir.filePath(QStringLiteral("dump.syx"));
        QFile::remove(path);
        if (file == "missing")
            path = Dir.filePath(QStringLiteral("nowhere.syx"));
        else if (file == "directory")
            path = Dir.path();
        else if (file == "huge") {
            QFile huge(path);
            QVERIFY(huge.open(QIODevice::WriteOnly));
            QVERIFY(huge.resize(9 << 20));
        } else
            WriteRaw(path, file);
        const instrument::TDumpRead read = instrument::ReadDumpFile(path.toStdString());
        const QString error = QString::fromStdString(read.Error);
        QVERIFY2(error.startsWith("the file \"" + path + "\" "), qPrintable(error));
        QVERIFY2(error.contains(why), qPrintable(error));
        QVERIFY(read.Dump.DataSets.empty());

        // ombrix-virtual-instrument says so and ends with status 2, before it looks for JACK.
        QProcess program;
        program.start(QStringLiteral(OMBRIX_VIRTUAL_INSTRUMENT), {"--load", path});
        QVERIFY(program.waitForFinished(30000));
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        QCOMPARE(program.exitCode(), 2);
        QCOMPARE(err, "ombrix-virtual-instrument: --load: " + error + "\n");
        QVERIFY(program.readAllStandardOutput().isEmpty());
    }

    // A good file passes: the instrument goes on to JACK, which no server answers here.
    void virtualInstrumentTakesAGoodFile()
    {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("JACK_NO_START_SERVER", "1");
        environment.insert("JACK_DEFAULT_SERVER", "ombrix-nobody-runs-this");
        program.setProcessEnvironment(environment);
        program.start(
            QStringLiteral(OMBRIX_VIRTUAL_INSTRUMENT),
            {"--load", Write("pattern.syx", madeup::FileOf(madeup::PatternDumpMessages()))});
        QVERIFY(program.waitForFinished(30000));
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2(program.exitCode() == 1, qPrintable(err));
        QVERIFY2(!err.contains("--load"), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(TestInstrumentDump)
#include "tst_instrument_dump.moc"
