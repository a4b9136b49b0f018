// The whole pattern against the strict built-in instrument through the paced output: a backup
// of a made-up pattern is the instrument's own dump byte for byte; restored into a fresh
// instrument and backed up again it gives the same file, with nothing dropped and every area
// verified; a restore cancelled half-way says where it stopped; areas that never answer are
// named; a received dump with a bad checksum names it; two files that differ in three bytes
// give three rows.

#include "instrument/BulkDump.h"
#include "midi/MidiDevices.h"
#include "midi/PacedOutput.h"
#include "pattern/CompareView.h"
#include "pattern/DumpReceiver.h"
#include "pattern/PatternTransfer.h"
#include "support/ErrorRecorder.h"
#include "support/MadeUpDump.h"
#include "support/VirtualRig.h"
#include "sysex/InstrumentPacing.h"
#include "sysex/RolandMessage.h"

#include <QFile>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace std::chrono_literals;
using TBytes = std::vector<std::uint8_t>;

namespace {
// The device byte of ID 17, the program's and the instrument's.
constexpr std::uint8_t OurDeviceByte = 0x10;
// Every area of the made-up pattern: 9 pattern blocks, 35 patch blocks, 65 of the rhythm set,
// 5 pages of notes and 10 of the setup.
constexpr int AreaCount = 124;

TBytes Contents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return TBytes(bytes.begin(), bytes.end());
}

void Write(const QString &path, const TBytes &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size()));
}
} // namespace

class TestPatternTransfer : public QObject, public TErrorRecorder
{
    Q_OBJECT

    std::unique_ptr<TVirtualRig> Rig;
    std::unique_ptr<midi::TPacedOutputs> Paced;
    std::unique_ptr<QWidget> Window;
    pattern::TPatternTransfer *Transfer = nullptr;
    QTemporaryDir Dir;

    QString Path(const char *name) { return Dir.filePath(QString::fromLatin1(name)); }

    // A fresh instrument, strict, and the transfer's window; the made-up pattern loaded when
    // asked.
    void StartRig(bool loaded)
    {
        Transfer = nullptr;
        Window.reset();
        Paced.reset();
        Rig.reset();
        Rig = std::make_unique<TVirtualRig>();
        if (loaded) {
            const auto read = instrument::ParseDump(madeup::FileOf(madeup::WholePatternMessages()));
            QVERIFY(read.Error.empty());
            Rig->Instrument().Load(read.Dump);
        }
        Rig->Instrument().SetStrictTiming(true);
        midi::MidiOut().Open(0);
        midi::MidiIn().Open(0);
        Paced = std::make_unique<midi::TPacedOutputs>(midi::MidiOut(), sysex::InstrumentPacing());
        Paced->SetGap(0, 20ms);
        Window = std::make_unique<QWidget>();
        Transfer = new pattern::TPatternTransfer(
            *Window,
            [] {
                return pattern::TPatternDevices {0, 17};
            },
            *Paced);
    }
    QString BackUp(const QString &path)
    {
        Transfer->BackUp(path);
        return Transfer->Report();
    }
    QString Restore(const QString &path)
    {
        Transfer->Restore(path);
        return Transfer->Report();
    }

private slots:
    void init()
    {
        Errors.clear();
        RecordErrors();
    }
    void cleanup()
    {
        Transfer = nullptr;
        Window.reset();
        Paced.reset();
        Rig.reset();
        StopRecordingErrors();
        QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str());
    }

    // Pages of notes and part setups answer what the dump wrote there, the last page shorter,
    // as one data set each; a page past the notes answers nothing.
    void instrumentAnswersPages_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("answered");
        QTest::newRow("first page") << "40 00 00 00" << 128 << 128;
        QTest::newRow("last page") << "40 00 04 00" << 128 << 119;
        QTest::newRow("past the notes") << "40 00 05 00" << 128 << 0;
        QTest::newRow("part R setup") << "30 00 47 00" << 9 << 9;
    }
    void instrumentAnswersPages()
    {
        QFETCH(QString, address);
        QFETCH(int, size);
        QFETCH(int, answered);
        instrument::TVirtualInstrument instrument;
        instrument.Load(instrument::ParseDump(madeup::FileOf(madeup::WholePatternMessages())).Dump);
        const TBytes at = BytesOf(address);
        const auto answers = instrument.Answer(sysex::RequestMessage(
            OurDeviceByte, {at[0], at[1], at[2], at[3]}, std::uint32_t(size)));
        QCOMPARE(answers.size(), std::size_t(answered > 0 ? 1 : 0));
        if (answered > 0)
            QCOMPARE(answers[0].size(), std::size_t(answered) + sysex::SmallestDataSet - 1);
    }

    void backupRestoreBackupSameFile()
    {
        StartRig(true);
        const QString report = BackUp(Path("first.syx"));
        QVERIFY2(!report.contains(QStringLiteral("not")), qPrintable(report));
        const TBytes first = Contents(Path("first.syx"));
        QVERIFY(first == madeup::FileOf(madeup::WholePatternMessages(), OurDeviceByte));

        StartRig(false);
        const QString restored = Restore(Path("first.syx"));
        QVERIFY2(
            restored.contains(QStringLiteral("Verified: %1 of %1 areas equal.").arg(AreaCount)),
            qPrintable(restored));
        QVERIFY(QFile::exists(Transfer->UndoFile()));
        QCOMPARE(Rig->Instrument().StrictDrops(), std::uint64_t(0));
        BackUp(Path("second.syx"));
        QVERIFY(Contents(Path("second.syx")) == first);
    }

    void restoreCancelledHalfWay()
    {
        StartRig(true);
        BackUp(Path("whole.syx"));
        StartRig(false);
        connect(Transfer, &pattern::TPatternTransfer::Progressed, this, [this](int done) {
            auto *progress
                = Window->findChild<QProgressDialog *>(QStringLiteral("ProgressRestore"));
            if (progress && progress->labelText().startsWith(QStringLiteral("Restoring:"))
                && done == 40)
                progress->cancel();
        });
        const QString report = Restore(Path("whole.syx"));
        QVERIFY2(report.contains(QStringLiteral("Restored 40 of %1 data sets. Cancelled: it "
                                                "stopped after Part 4 patch common (02 03 00 00)")
                                     .arg(AreaCount)),
                 qPrintable(report));
        QVERIFY2(report.contains(QStringLiteral("Verified: 40 of 40 areas equal.")),
                 qPrintable(report));
        // Part 4's first tone was not sent: the part keeps the patch its selection loaded.
        QVERIFY(Rig->Instrument().Read({2, 3, 0x10, 0}, 0x81) != madeup::Filled(0x81, 70 + 4 * 3));
    }

    void silentAreasNamed()
    {
        StartRig(false);
        const QString report = BackUp(Path("fresh.syx"));
        QVERIFY(report.contains(QStringLiteral("The pattern's notes did not answer: use the "
                                               "instrument's own bulk dump to keep them.")));
        QVERIFY2(report.contains(QStringLiteral("Did not answer, not in the file: Part 1 setup, "
                                                "Part 2 setup")),
                 qPrintable(report));
        QVERIFY(report.contains(QStringLiteral("%1 data sets").arg(AreaCount - 5 - 8)));
    }

    void receivedDumpNamesBadChecksum()
    {
        StartRig(false);
        TBytes file = madeup::FileOf(madeup::WholePatternMessages());
        const auto read = sysex::areas::ReadDump(file);
        pattern::TDumpReceiver receiver(*Window);
        for (std::size_t k = 0; k < read.DataSets.size(); ++k) {
            TBytes message = read.DataSets[k].Bytes;
            if (k == 20)
                message[message.size() - 2] ^= 1;
            receiver.Take(message);
        }
        QCOMPARE(receiver.DataSets(), int(read.DataSets.size()));
        QCOMPARE(
            receiver.BadChecksums(),
            std::vector<std::string> {"Data set 21 at 02 02 10 00 (Part 3 tone 1): bad checksum"});
        QVERIFY(!receiver.Over());
        QTRY_VERIFY_WITH_TIMEOUT(receiver.Over(), 3000);
        QVERIFY(receiver.Save(Path("received.syx")).isEmpty());
        file[read.DataSets[20].Offset + read.DataSets[20].Bytes.size() - 2] ^= 1;
        QVERIFY(Contents(Path("received.syx")) == file);
        // A restore refuses it whole.
        Restore(Path("received.syx"));
        QCOMPARE(Errors.size(), std::size_t(1));
        QVERIFY(QString::fromStdString(Errors[0]).contains(QStringLiteral("bad checksum")));
        Errors.clear();
        QCOMPARE(Rig->Instrument().ReceivedCount(), std::uint64_t(0));
    }

    void compareThreeBytes()
    {
        StartRig(false);
        auto messages = madeup::WholePatternMessages();
        Write(Path("a.syx"), madeup::FileOf(messages));
        messages[0].Data[0x0D] = 4; // MFX type
        messages[9 + 1].Data[0x00] ^= 1; // part 1 tone 1's switch
        messages[9].Data[0x00] = 'X'; // part 1's patch name
        Write(Path("b.syx"), madeup::FileOf(messages));
        Transfer->Compare(Path("a.syx"), Path("b.syx"));
        auto *view = Window->findChild<pattern::TCompareView *>(QStringLiteral("FormCompare"));
        QVERIFY(view);
        const auto &model = view->Model();
        QCOMPARE(model.rowCount(), 3);
        const auto cell = [&model](int row, int column) {
            return model.data(model.index(row, column)).toString();
        };
        QCOMPARE(cell(0, 0), QStringLiteral("01 00 00 0D"));
        QCOMPARE(cell(1, 1), QStringLiteral("Part 1 patch common"));
        QCOMPARE(cell(2, 1), QStringLiteral("Part 1 tone 1"));
        for (int row = 0; row < 3; ++row) {
            QVERIFY(!cell(row, 2).isEmpty());
            QVERIFY2(cell(row, 3) != cell(row, 4), qPrintable(cell(row, 2) + " " + cell(row, 3)));
        }
        // Named after each file's own MFX type, shown as the mixer shows it.
        QCOMPARE(cell(0, 2), QStringLiteral("MFX Type"));
        QCOMPARE(cell(0, 4), QStringLiteral("DISTORTION"));
        QCOMPARE(cell(2, 2), QStringLiteral("Part 1 Tone 1 Switch"));
    }
};

QTEST_MAIN(TestPatternTransfer)
#include "tst_pattern_transfer.moc"
