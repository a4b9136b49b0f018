// Bulk dumps for the virtual instrument: a pattern dump's data sets stored as bytes whatever
// their device, answered back as the dump carried them, a patch selection among them loading no
// patch; and the files that cannot fill the instrument refused with a reason, by the reader and
// by ombrix-virtual-instrument before it looks for JACK.

#include "instrument/BulkDump.h"
#include "instrument/VirtualInstrument.h"
#include "support/MadeUpDump.h"
#include "support/MessageText.h"
#include "support/RawFile.h"
#include "sysex/PatternMessages.h"

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

// The bytes of a piece: each the last write's that covers it.
TBytes LastWritten(const TWrites &writes, const TWrite &piece)
{
    TBytes bytes(std::size_t(piece.Size), 0);
    const std::uint32_t from = instrument::LinearAddress(piece.Address);
    const std::uint32_t to = from + std::uint32_t(piece.Size);
    for (std::size_t w = 0; w < writes.size(); ++w) {
        const std::uint32_t start = instrument::LinearAddress(writes[w].Address);
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
        const QString path = Write("pattern.syx", madeup::FileOf(messages));
        const instrument::TDumpRead read = instrument::ReadDumpFile(path.toStdString());
        QVERIFY2(read.Error.empty(), read.Error.c_str());
        QCOMPARE(int(read.Dump.DataSets.size()), madeup::DumpMessageCount);

        TVirtualInstrument instrument;
        instrument.Load(read.Dump);
        // The parts' selections loaded once more load no patch: each part keeps the dump's.
        instrument::TBulkDump selections;
        selections.DataSets.assign(read.Dump.DataSets.begin() + 1, read.Dump.DataSets.begin() + 8);
        instrument.Load(selections);
        for (const TDumpMessage &m : messages)
            QVERIFY2(instrument.Read(m.Address, int(m.Data.size())) == m.Data,
                     qPrintable(HexOf(m.Address)));
        QCOMPARE(instrument.ReceivedCount(), std::uint64_t(0));
        // The rhythm set, the pattern setup and the body answer as the dump carried them.
        std::vector<TDumpMessage> held(messages.begin() + 10, messages.begin() + 10 + 65 + 10 + 39);
        QVERIFY(AnswersTo(instrument, {0x02, 0x09, 0, 0}, {0x7F, 0x7F, 0x7F, 0x7F}) == held);

        // ombrix-virtual-instrument takes the file and goes on to JACK, which no server answers.
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("JACK_NO_START_SERVER", "1");
        environment.insert("JACK_DEFAULT_SERVER", "ombrix-nobody-runs-this");
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(OMBRIX_VIRTUAL_INSTRUMENT), {"--load", path});
        QVERIFY(program.waitForFinished(30000));
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2(program.exitCode() == 1, qPrintable(err));
        QVERIFY2(!err.contains("--load"), qPrintable(err));
    }

    void heldAreasKeepEachDataSetAsAPiece_data()
    {
        QTest::addColumn<TWrites>("writes");
        QTest::addColumn<TPieces>("pieces"); // the answers to a request of the whole memory
        QTest::newRow("over the gap between two pieces") << TWrites {{{0x30, 0x00, 0x40, 0x00}, 4},
                                                                     {{0x30, 0x00, 0x40, 0x08}, 4},
                                                                     {{0x30, 0x00, 0x40, 0x02}, 10}}
                                                         << TPieces {{{0x30, 0x00, 0x40, 0x00}, 4},
                                                                     {{0x30, 0x00, 0x40, 0x04}, 4},
                                                                     {{0x30, 0x00, 0x40, 0x08}, 4}};
        QTest::newRow("past the end of the pattern setup's header block")
            << TWrites {{{0x30, 0x00, 0x00, 0x70}, 16}} << TPieces {{{0x30, 0x00, 0x00, 0x77}, 9}};
        QTest::newRow("past the end of the rhythm set, and outside every area")
            << TWrites {{{0x02, 0x09, 0x7F, 0x7E}, 4}, {{0x50, 0x00, 0x00, 0x00}, 4}}
            << TPieces {{{0x02, 0x09, 0x7F, 0x7E}, 2}};
        TWrites many;
        TPieces kept;
        constexpr int Size = 4096;
        for (std::uint32_t piece = 0; piece <= (1u << 20) / Size; ++piece) {
            const instrument::TAddress at = instrument::AddressFromLinear(
                instrument::LinearAddress({0x40, 0, 0, 0}) + piece * Size);
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
        // From past the rhythm set's last key, whose blocks answer too; the pattern setup's header
        // and effects are blocks, answered whole, not pieces.
        std::vector<TDumpMessage> answers
            = AnswersTo(instrument, {0x02, 0x09, 0x63, 0}, {0x7F, 0x7F, 0x7F, 0x7F});
        std::erase_if(answers, [](const TDumpMessage &m) {
            return m.Address == sysex::pattern::SetupAddress
                || m.Address == sysex::pattern::EffectsAddress;
        });
        QVERIFY(answers == expected);
    }

    void filesThatCannotFillTheInstrument_data()
    {
        QTest::addColumn<QByteArray>("file"); // the bytes, or "missing", "directory", "huge"
        QTest::addColumn<QString>("why");
        const TBytes good = DataSetMessage({0x02, 0, 0, 0}, {0x41, 0x42});
        QTest::newRow("missing") << QByteArray("missing") << "does not exist";
        QTest::newRow("directory") << QByteArray("directory") << "is a directory";
        QTest::newRow("over 8 MiB") << QByteArray("huge") << "is too large for a bulk dump";
        QTest::newRow("empty") << QByteArray() << "holds no data set of the MC-307 (0 other";
        // An Inquiry Request and a data request: the instrument's, but no memory.
        TBytes others = RequestMessage({0x02, 0, 0, 0}, {0, 0, 0, 0x0C});
        others.insert(others.begin(), {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7});
        QTest::newRow("other messages only")
            << AsFile(others) << "holds no data set of the MC-307 (2 other messages)";
        TBytes stray = good;
        stray.insert(stray.begin() + 0, 0x41);
        QTest::newRow("stray byte") << AsFile(stray) << "has a stray byte 41 at byte 0";
        TBytes cut = good;
        cut.pop_back();
        QTest::newRow("no F7 at the end")
            << AsFile(cut) << "message cut short at byte 0: the file ends before its F7";
        TBytes status = good;
        status.insert(status.end() - 1, 0xF8);
        QTest::newRow("status byte inside") << AsFile(status) << "status byte F8 before its F7";
        TBytes badSum = good;
        badSum.insert(badSum.end(), good.begin(), good.end());
        badSum[badSum.size() - 2] ^= 0x01;
        QTest::newRow("bad checksum in the second message")
            << AsFile(badSum) << "bad checksum at byte " + QString::number(good.size());
        QTest::newRow("no data") << AsFile(DataSetMessage({0x02, 0, 0, 0}, {}))
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
};

QTEST_GUILESS_MAIN(TestInstrumentDump)
#include "tst_instrument_dump.moc"
