// The settings file: reading what other systems and other versions wrote, passing the names
// through byte for byte, surviving damaged files, and replacing the file only when the new one
// is whole; the second settings file, "Ombrix.conf", and its gap.

#include "settings/ConfFile.h"
#include "settings/SettingsFile.h"
#include "support/RawFile.h"

#include <QDir>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>
#include <random>

using settings::MaxNameBytes;
using settings::PatchNameCount;
using settings::TSettingsValues;

namespace {
QByteArray Bytes(const std::string &text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

// Values that no file holds, to see which ones a read has changed.
TSettingsValues Sentinels()
{
    TSettingsValues values;
    values.MidiInIndex = 111;
    values.MidiOutIndex = 222;
    values.DeviceId = 333;
    for (int k = 0; k < PatchNameCount; ++k)
        values.PatchNames[std::size_t(k)] = "old " + std::to_string(k);
    return values;
}

// A whole file: three number lines, then the names, each line ended by end.
QByteArray FileOf(const std::vector<std::string> &lines, const char *end = "\r\n")
{
    QByteArray bytes;
    for (const std::string &line : lines)
        bytes += Bytes(line) + end;
    return bytes;
}
} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

    QTemporaryDir Dir;
    QString Path;

private slots:
    void init()
    {
        QVERIFY(Dir.isValid());
        Path = Dir.filePath(QString::fromLatin1(settings::SettingsFileName));
        QFile::remove(Path);
    }

    void missingFileChangesNothing()
    {
        TSettingsValues values = Sentinels();
        const settings::TReadOutcome outcome = settings::ReadSettingsFile(Path, values);
        QVERIFY(!outcome.Exists);
        QVERIFY(outcome.Error.empty());
        QCOMPARE(values.MidiInIndex, 111);
        QCOMPARE(values.DeviceId, 333);
        QCOMPARE(values.PatchNames[5], std::string("old 5"));
    }

    void readsEitherLineEnd_data()
    {
        QTest::addColumn<QByteArray>("file");
        std::vector<std::string> lines = {"2", "-1", "18"};
        for (int k = 0; k < PatchNameCount; ++k)
            lines.push_back("Name " + std::to_string(k));
        lines[3] = "  Soft  Pad  "; // name 0 keeps all its blanks
        lines[3 + 1055] = "\tLast one\t";
        QTest::newRow("CR LF") << FileOf(lines, "\r\n");
        QTest::newRow("LF") << FileOf(lines, "\n");
        QByteArray mixed;
        for (std::size_t i = 0; i < lines.size(); ++i)
            mixed += Bytes(lines[i]) + (i % 2 ? "\n" : "\r\n");
        QTest::newRow("mixed") << mixed;
        QByteArray noFinalEnd = FileOf(lines, "\r\n");
        noFinalEnd.chop(2);
        QTest::newRow("no line end after the last name") << noFinalEnd;
    }
    void readsEitherLineEnd()
    {
        QFETCH(QByteArray, file);
        WriteRaw(Path, file);
        TSettingsValues values = Sentinels();
        const settings::TReadOutcome outcome = settings::ReadSettingsFile(Path, values);
        QVERIFY(outcome.Exists);
        QCOMPARE(QString::fromStdString(outcome.Error), QString());
        QCOMPARE(values.MidiInIndex, 2);
        QCOMPARE(values.MidiOutIndex, -1);
        QCOMPARE(values.DeviceId, 18);
        QCOMPARE(values.PatchNames[0], std::string("  Soft  Pad  "));
        QCOMPARE(values.PatchNames[1], std::string("Name 1"));
        QCOMPARE(values.PatchNames[1054], std::string("Name 1054"));
        QCOMPARE(values.PatchNames[1055], std::string("\tLast one\t"));
    }

    void missingLinesGiveEmptyNames_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("namesGiven");
        QTest::newRow("numbers only") << QByteArray("0\r\n0\r\n17\r\n") << 0;
        QTest::newRow("numbers without final line end") << QByteArray("0\r\n0\r\n17") << 0;
        QTest::newRow("three names") << QByteArray("0\r\n0\r\n17\r\nA\r\nB\r\nC\r\n") << 3;
        QTest::newRow("three names, no final end") << QByteArray("0\n0\n17\nA\nB\nC") << 3;
    }
    void missingLinesGiveEmptyNames()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, namesGiven);
        WriteRaw(Path, file);
        TSettingsValues values = Sentinels();
        const settings::TReadOutcome outcome = settings::ReadSettingsFile(Path, values);
        QVERIFY(outcome.Error.empty());
        QCOMPARE(values.DeviceId, 17);
        for (int k = 0; k < PatchNameCount; ++k) {
            const std::string expected = k < namesGiven ? std::string(1, char('A' + k)) : "";
            QCOMPARE(values.PatchNames[std::size_t(k)], expected);
        }
    }

    void linesAfterTheLastNameAreIgnored()
    {
        std::vector<std::string> lines = {"1", "1", "20"};
        for (int k = 0; k < PatchNameCount + 5; ++k)
            lines.push_back("n" + std::to_string(k));
        WriteRaw(Path, FileOf(lines));
        TSettingsValues values = Sentinels();
        QVERIFY(settings::ReadSettingsFile(Path, values).Error.empty());
        QCOMPARE(values.PatchNames.size(), std::size_t(PatchNameCount));
        QCOMPARE(values.PatchNames.back(), std::string("n1055"));
    }

    // The numbers are read as words across lines 1 to 3; the names always begin on line 4.
    void numberLayouts_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<int>("in");
        QTest::addColumn<int>("out");
        QTest::addColumn<int>("id");
        QTest::newRow("one a line") << QByteArray("3\r\n4\r\n20\r\n") << 3 << 4 << 20;
        QTest::newRow("blanks around") << QByteArray("  3 \r\n\t4\t\r\n 20  \r\n") << 3 << 4 << 20;
        QTest::newRow("two on line 1") << QByteArray("3 4\r\n20\r\n\r\n") << 3 << 4 << 20;
        QTest::newRow("all on line 1") << QByteArray("3 4 20\r\n\r\n\r\n") << 3 << 4 << 20;
        QTest::newRow("blank line first") << QByteArray("\r\n3 4\r\n20\r\n") << 3 << 4 << 20;
        QTest::newRow("text after the third") << QByteArray("3\r\n4\r\n20 x y\r\n") << 3 << 4 << 20;
        QTest::newRow("signs") << QByteArray("+3\n-1\n-0\n") << 3 << -1 << 0;
        QTest::newRow("32-bit ends") << QByteArray("2147483647\n-2147483648\n0\n") << 2147483647
                                     << int(-2147483647 - 1) << 0;
    }
    void numberLayouts()
    {
        QFETCH(QByteArray, head);
        QFETCH(int, in);
        QFETCH(int, out);
        QFETCH(int, id);
        WriteRaw(Path, head + "first\r\nsecond\r\n");
        TSettingsValues values = Sentinels();
        const settings::TReadOutcome outcome = settings::ReadSettingsFile(Path, values);
        QCOMPARE(QString::fromStdString(outcome.Error), QString());
        QCOMPARE(values.MidiInIndex, in);
        QCOMPARE(values.MidiOutIndex, out);
        QCOMPARE(values.DeviceId, id);
        QCOMPARE(values.PatchNames[0], std::string("first"));
        QCOMPARE(values.PatchNames[1], std::string("second"));
        QCOMPARE(values.PatchNames[2], std::string());
    }

    // A bad value keeps it and the ones after it as they were, names the file and the line, and
    // the names are read all the same.
    void badNumbers_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<int>("badLine");
        QTest::addColumn<int>("valuesRead");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("letters on line 1")
            << QByteArray("abc\r\n1\r\n17\r\n") << 1 << 0 << "\"abc\"";
        QTest::newRow("letters on line 2")
            << QByteArray("0\r\nMIDI\r\n17\r\n") << 2 << 1 << "\"MIDI\"";
        QTest::newRow("digits then letters on line 3")
            << QByteArray("0\r\n1\r\n17abc\r\n") << 3 << 2 << "\"17abc\"";
        QTest::newRow("beyond 32 bits")
            << QByteArray("0\r\n99999999999\r\n17\r\n") << 2 << 1 << "\"99999999999\"";
        QTest::newRow("hex is not decimal")
            << QByteArray("0\r\n1\r\n$11\r\n") << 3 << 2 << "\"$11\"";
        QTest::newRow("lone sign") << QByteArray("-\r\n1\r\n17\r\n") << 1 << 0 << "\"-\"";
        QTest::newRow("NUL in a number")
            << QByteArray("0\r\n1\0\r\n17\r\n", 11) << 2 << 1 << "\"1\\x00\"";
        QTest::newRow("line 3 empty") << QByteArray("0\r\n1\r\n\r\n") << 3 << 2 << "is missing";
        QTest::newRow("empty file") << QByteArray("") << 1 << 0 << "is missing";
        QTest::newRow("two numbers, file ends") << QByteArray("5\r\n6") << 2 << 2 << "is missing";
    }
    void badNumbers()
    {
        QFETCH(QByteArray, head);
        QFETCH(int, badLine);
        QFETCH(int, valuesRead);
        QFETCH(QString, quoted);
        const bool hasNames = head.endsWith('\n');
        WriteRaw(Path, hasNames ? head + "Name A\r\nName B\r\n" : head);
        TSettingsValues values = Sentinels();
        const settings::TReadOutcome outcome = settings::ReadSettingsFile(Path, values);
        QVERIFY(outcome.Exists);
        const QString error = QString::fromStdString(outcome.Error);
        QVERIFY2(error.contains(QDir::toNativeSeparators(QFileInfo(Path).absoluteFilePath())),
                 qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("line %1:").arg(badLine)), qPrintable(error));
        QVERIFY2(error.contains(quoted), qPrintable(error));

        const int sentinels[3] = {111, 222, 333};
        const int *read[3] = {&values.MidiInIndex, &values.MidiOutIndex, &values.DeviceId};
        for (int k = 0; k < 3; ++k) {
            if (k >= valuesRead)
                QCOMPARE(*read[k], sentinels[k]);
            else
                QVERIFY(*read[k] != sentinels[k]);
        }
        // Never does a damaged number line cost the user the names.
        QCOMPARE(values.PatchNames[0], std::string(hasNames ? "Name A" : ""));
        QCOMPARE(values.PatchNames[1], std::string(hasNames ? "Name B" : ""));
        QCOMPARE(values.PatchNames[2], std::string());
    }

    void namesPassThroughByteForByte()
    {
        // Windows-1252 bytes, a NUL, a lone CR, a CR just before the line end, UTF-8.
        const std::vector<std::string> odd = {
            "Caf\xE9 Pad",
            "\x80uro \x81\x8D\x8F\x90\x9D",
            std::string("a\0b", 3),
            "lone\rCR",
            "ends in CR\r",
            "\xC3\xA9t\xC3\xA9",
            "",
            " ",
        };
        std::vector<std::string> names(PatchNameCount);
        for (std::size_t k = 0; k < names.size(); ++k)
            names[k] = k < odd.size()
                ? odd[k]
                : "P" + std::to_string(k) + std::string(1, char(0x80 + k % 128));
        names[10] = std::string(1, '\n' + 1) + "\xFF\xFE";

        settings::WriteSettingsFile(Path, 1, -1, "19", names);

        QByteArray expected = "1\r\n-1\r\n19\r\n";
        for (const std::string &name : names)
            expected += Bytes(name) + "\r\n";
        QCOMPARE(ReadRaw(Path), expected);

        TSettingsValues values = Sentinels();
        QVERIFY(settings::ReadSettingsFile(Path, values).Error.empty());
        QCOMPARE(values.MidiInIndex, 1);
        QCOMPARE(values.MidiOutIndex, -1);
        QCOMPARE(values.DeviceId, 19);
        for (std::size_t k = 0; k < names.size(); ++k)
            QVERIFY2(values.PatchNames[k] == names[k], qPrintable(QString::number(k)));

        // And once more through the writer: the bytes do not drift.
        settings::WriteSettingsFile(Path, 1, -1, "19", values.PatchNames);
        QCOMPARE(ReadRaw(Path), expected);
    }

    void writtenFileHas1059CrLfLines()
    {
        settings::WriteSettingsFile(Path, 0, 0, "17", std::vector<std::string>(3, "x"));
        const QByteArray bytes = ReadRaw(Path);
        QCOMPARE(bytes.count("\r\n"), 1059);
        QCOMPARE(bytes.count('\n'), 1059);
        QVERIFY(bytes.startsWith("0\r\n0\r\n17\r\nx\r\nx\r\nx\r\n\r\n"));
        QVERIFY(bytes.endsWith("\r\n\r\n"));
        QCOMPARE(bytes.size(), qsizetype(3 + 3 + 4 + 3 * 3 + (PatchNameCount - 3) * 2));
    }

    void displayDecoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ASCII") << QByteArray("Soft Pad") << QStringLiteral("Soft Pad");
        QTest::newRow("UTF-8") << QByteArray("Caf\xC3\xA9 \xE2\x82\xAC")
                               << QStringLiteral("Café €");
        QTest::newRow("UTF-8 4 bytes")
            << QByteArray("\xF0\x9F\x8E\xB9") << QString::fromUtf8("\xF0\x9F\x8E\xB9");
        QTest::newRow("1252 e acute") << QByteArray("Caf\xE9") << QStringLiteral("Café");
        QTest::newRow("1252 high block")
            << QByteArray("\x80\x85\x8A\x91\x92\x96\x99\x9F") << QString::fromUtf8("€…Š‘’–™Ÿ");
        QTest::newRow("1252 undefined keep C1")
            << QByteArray("\x81\x8D\x8F\x90\x9D")
            << QString(QChar(0x81)) + QChar(0x8D) + QChar(0x8F) + QChar(0x90) + QChar(0x9D);
        QTest::newRow("overlong slash is not UTF-8")
            << QByteArray("\xC0\xAF") << QString::fromUtf8("À¯");
        QTest::newRow("surrogate is not UTF-8")
            << QByteArray("\xED\xA0\x80") << QString::fromUtf8("í\xC2\xA0€");
        QTest::newRow("cut sequence is not UTF-8")
            << QByteArray("ab\xE2\x82") << QString::fromUtf8("ab\xC3\xA2\xE2\x80\x9A");
        QTest::newRow("beyond U+10FFFF is not UTF-8")
            << QByteArray("\xF4\x90\x80\x80") << QString::fromUtf8("ô\xC2\x90€€");
        QTest::newRow("NUL kept") << QByteArray("a\0b", 3) << QString(QLatin1String("a\0b", 3));
    }
    void displayDecoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QCOMPARE(settings::PatchNameForDisplay(bytes.toStdString()), shown);
    }

    // Where the toolkit knows Windows-1252 itself, our table must agree with it.
    void windows1252AgreesWithToolkit()
    {
        QStringDecoder decoder("windows-1252");
        if (!decoder.isValid())
            QSKIP("The toolkit has no Windows-1252 here; the table stands alone.");
        for (int b = 0x80; b <= 0xFF; ++b) {
            if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D)
                continue;
            const char byte = char(b);
            // A lone byte of 0x80..0xFF is never valid UTF-8, so the table decides.
            const QString ours = settings::PatchNameForDisplay(std::string(1, byte));
            const QString theirs = decoder.decode(QByteArrayView(&byte, 1));
            QVERIFY2(ours == theirs, qPrintable(QString::number(b, 16)));
        }
    }

    void longLinesAreCutAtOneMebibyte()
    {
        QByteArray file = "0\r\n0\r\n17\r\n";
        file += QByteArray(qsizetype(MaxNameBytes) - 1, 'a') + "\r\r\n"; // exactly 1 MiB with CR
        file += QByteArray(qsizetype(MaxNameBytes), 'b') + "\r\n"; // exactly 1 MiB
        file += QByteArray(10 * 1024 * 1024, 'c') + "\r\n"; // 10 MB
        file += QByteArray(qsizetype(MaxNameBytes) - 1, 'd') + "\r" + QByteArray(5, 'e') + "\r\n";
        file += "after\r\n";
        WriteRaw(Path, file);
        TSettingsValues values = Sentinels();
        QVERIFY(settings::ReadSettingsFile(Path, values).Error.empty());
        QCOMPARE(values.PatchNames[0], std::string(MaxNameBytes - 1, 'a') + "\r");
        QCOMPARE(values.PatchNames[1], std::string(MaxNameBytes, 'b'));
        QCOMPARE(values.PatchNames[2], std::string(MaxNameBytes, 'c'));
        // A CR in the middle of a cut line is part of the name, not a line end.
        QCOMPARE(values.PatchNames[3], std::string(MaxNameBytes - 1, 'd') + "\r");
        QCOMPARE(values.PatchNames[4], std::string("after"));
    }

    void hugeNumberLineIsQuotedShort()
    {
        WriteRaw(Path, "0\r\n" + QByteArray(10 * 1024 * 1024, '7') + "x\r\n17\r\nName\r\n");
        TSettingsValues values = Sentinels();
        const settings::TReadOutcome outcome = settings::ReadSettingsFile(Path, values);
        QVERIFY(outcome.Error.find("line 2:") != std::string::npos);
        QVERIFY(outcome.Error.find("10485761 bytes") != std::string::npos);
        QVERIFY2(outcome.Error.size() < 600, outcome.Error.c_str());
        QCOMPARE(values.MidiInIndex, 0);
        QCOMPARE(values.MidiOutIndex, 222);
        QCOMPARE(values.PatchNames[0], std::string("Name"));
    }

    void binaryFilesDoNotHurt()
    {
        std::mt19937 random(307);
        for (int round = 0; round < 40; ++round) {
            QByteArray file(qsizetype(random() % 20000), '\0');
            for (char &b : file)
                b = char(random() % 4 == 0 ? 0 : random());
            WriteRaw(Path, file);
            TSettingsValues values = Sentinels();
            const settings::TReadOutcome outcome = settings::ReadSettingsFile(Path, values);
            QVERIFY(outcome.Exists);
            QCOMPARE(values.PatchNames.size(), std::size_t(PatchNameCount));
            for (const std::string &name : values.PatchNames) {
                QVERIFY(name.find('\n') == std::string::npos);
                settings::PatchNameForDisplay(name);
            }
        }
        // All NULs: one long line of them.
        WriteRaw(Path, QByteArray(3 * 1024 * 1024, '\0'));
        TSettingsValues values = Sentinels();
        QVERIFY(!settings::ReadSettingsFile(Path, values).Error.empty());
        QCOMPARE(values.MidiInIndex, 111);
        QCOMPARE(values.PatchNames[0], std::string());
    }

    void directoryCannotBeRead()
    {
        QVERIFY(QDir(Dir.path()).mkdir(QString::fromLatin1(settings::SettingsFileName)));
        TSettingsValues values = Sentinels();
        const settings::TReadOutcome outcome = settings::ReadSettingsFile(Path, values);
        QDir(Path).removeRecursively();
        QVERIFY(outcome.Exists);
        QVERIFY(outcome.Error.find("Ombrix.INI") != std::string::npos);
        QCOMPARE(values.PatchNames[7], std::string("old 7"));
        QCOMPARE(values.DeviceId, 333);
    }

    // Each way of failing throws, names the file, and leaves what was there as it was.
    void failedWriteKeepsTheOldFile()
    {
        const QByteArray old = "4\r\n5\r\n21\r\nOld name\r\n";
        WriteRaw(Path, old);
        std::vector<std::string> names(PatchNameCount, std::string(200, 'n'));
        {
            // The disk fills halfway through the new file.
            TFileSizeLimit limit(16 * 1024);
            QVERIFY_THROWS_EXCEPTION(settings::ESettingsError,
                                     settings::WriteSettingsFile(Path, 0, 0, "17", names));
        }
        QCOMPARE(ReadRaw(Path), old);
        // No half-written file is left beside it.
        QCOMPARE(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList {QString::fromLatin1(settings::SettingsFileName)});

        names[500] = "two\nlines";
        try {
            settings::WriteSettingsFile(Path, 0, 0, "17", names);
            QFAIL("a name with a line break was written");
        } catch (const settings::ESettingsError &e) {
            QVERIFY2(std::string(e.what()).find("patch name 500") != std::string::npos, e.what());
        }
        QCOMPARE(ReadRaw(Path), old);
    }

    void unwritablePlaces_data()
    {
        QTest::addColumn<bool>("directory");
        QTest::newRow("path is a directory") << true;
        QTest::newRow("no such folder") << false;
    }
    void unwritablePlaces()
    {
        QFETCH(bool, directory);
        QString target = Dir.filePath(QStringLiteral("nowhere/Ombrix.INI"));
        if (directory) {
            target = Path;
            QVERIFY(QDir(Dir.path()).mkpath(QStringLiteral("Ombrix.INI/inside")));
        }
        try {
            settings::WriteSettingsFile(target, 0, 0, "17", {});
            QFAIL("the write did not fail");
        } catch (const settings::ESettingsError &e) {
            QVERIFY2(std::string(e.what()).find("Ombrix.INI") != std::string::npos, e.what());
            QVERIFY2(std::string(e.what()).find("cannot be written") != std::string::npos,
                     e.what());
        }
        if (directory) {
            QVERIFY(QFileInfo(Path).isDir());
            QVERIFY(QFileInfo::exists(Path + QStringLiteral("/inside")));
            QDir(Path).removeRecursively();
        }
    }

    void confFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Ombrix.conf"));
        settings::WriteConfFile(path, settings::TConfValues {35});
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList {"Ombrix.conf"});
        settings::TConfValues values;
        QVERIFY(settings::ReadConfFile(path, values).Error.empty());
        QCOMPARE(values.GapMs, 35);
    }

    // What is read over values that were there before; a missing file is no error, one that
    // cannot be read is, and cannot be written either.
    void confFileValues_data()
    {
        QTest::addColumn<QByteArray>("text"); // or "missing", "directory"
        QTest::addColumn<int>("gap");
        QTest::addColumn<bool>("error");
        QTest::newRow("plain") << QByteArray("[Output]\nGapMs=40\n") << 40 << false;
        QTest::newRow("too high") << QByteArray("[Output]\nGapMs=400\n") << 100 << false;
        QTest::newRow("negative") << QByteArray("[Output]\nGapMs=-3\n") << 0 << false;
        QTest::newRow("not a number") << QByteArray("[Output]\nGapMs=fast\n") << 20 << false;
        QTest::newRow("absent") << QByteArray("[Other]\nX=1\n") << 20 << false;
        QTest::newRow("empty file") << QByteArray() << 20 << false;
        QTest::newRow("missing") << QByteArray("missing") << 20 << false;
        QTest::newRow("unreadable") << QByteArray("directory") << 20 << true;
    }
    void confFileValues()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, gap);
        QFETCH(bool, error);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Ombrix.conf"));
        if (text == "directory")
            QVERIFY(QDir().mkdir(path));
        else if (text != "missing")
            WriteRaw(path, text);
        settings::TConfValues values {55};
        const settings::TReadOutcome outcome = settings::ReadConfFile(path, values);
        QVERIFY2(error ? outcome.Error.find("Ombrix.conf") != std::string::npos
                       : outcome.Error.empty(),
                 outcome.Error.c_str());
        QVERIFY(text != "missing" || !outcome.Exists);
        QCOMPARE(values.GapMs, gap);
        if (error)
            QVERIFY_THROWS_EXCEPTION(settings::ESettingsError,
                                     settings::WriteConfFile(path, settings::TConfValues {30}));
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settings_settingsfile.moc"
