// The command line: what each option asks for, the settings directories it accepts and refuses,
// and the program itself answering --help and every mistake with no display at all.

#include "app/CommandLine.h"
#include "settings/SettingsFile.h"

#include "support/XvfbRun.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <utility>

namespace {
// No exit: the program goes on to open its window.
constexpr int Runs = -1;

int StatusOf(const TCommandLine &commandLine)
{
    return commandLine.ExitStatus.value_or(Runs);
}

// The status and text of the settings directory chosen for these arguments, as the given user
// (in a child process that drops to that user), or as the user running the test (null).
std::pair<int, QString> ChosenAs(const passwd *user, const QStringList &arguments)
{
    const auto choose = [&arguments] {
        TCommandLine commandLine = ParseCommandLine(arguments);
        ChooseSettingsDirectory(commandLine);
        return std::pair {StatusOf(commandLine), commandLine.Text};
    };
    if (!user)
        return choose();
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return {-2, QStringLiteral("no pipe")};
    const pid_t child = ::fork();
    if (child < 0)
        return {-2, QStringLiteral("no child process")};
    if (child == 0) {
        ::close(pipeEnds[0]);
        QByteArray answer = "could not become the user";
        if (::setgroups(0, nullptr) == 0 && ::setgid(user->pw_gid) == 0
            && ::setuid(user->pw_uid) == 0) {
            const auto [status, text] = choose();
            answer = QByteArray::number(status) + '\n' + text.toUtf8();
        }
        const ssize_t written = ::write(pipeEnds[1], answer.constData(), answer.size());
        ::_exit(written == answer.size() ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    QByteArray answer;
    char buffer[512];
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, got);
    ::close(pipeEnds[0]);
    int childStatus = 0;
    ::waitpid(child, &childStatus, 0);
    const qsizetype lineEnd = answer.indexOf('\n');
    if (lineEnd < 0)
        return {-2, QString::fromUtf8(answer)};
    return {answer.left(lineEnd).toInt(), QString::fromUtf8(answer.mid(lineEnd + 1))};
}
} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

    QTemporaryDir Dir;

private slots:
    void initTestCase()
    {
        QVERIFY(Dir.isValid());
        QCoreApplication::setApplicationName(QStringLiteral("Ombrix"));
    }

    void cleanup()
    {
        settings::SetSettingsDirectory(QString());
        qunsetenv("XDG_CONFIG_HOME");
    }

    void parses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");

        const QString version = QStringLiteral("ombrix " OMBRIX_VERSION "\n");
        QTest::newRow("nothing") << QStringList {} << Runs << QString();
        QTest::newRow("help") << QStringList {"--help"} << 0 << "Usage: ombrix [options]";
        QTest::newRow("-h") << QStringList {"-h"} << 0 << "--settings-dir <directory>";
        QTest::newRow("help wins") << QStringList {"--strict-timing", "--help"} << 0 << "--help";
        QTest::newRow("version") << QStringList {"--version"} << 0 << version;
        QTest::newRow("-v") << QStringList {"-v"} << 0 << version;
        QTest::newRow("unknown") << QStringList {"--bogus"} << 2 << "Unknown option 'bogus'";
        QTest::newRow("Qt's own option") << QStringList {"-platform", "xcb"} << Runs << QString();
        QTest::newRow("Qt's own options, as Qt reads them")
            << QStringList {"--style", "fusion", "-stylesheet=a.qss", "-reverse", "-session", "s1"}
            << Runs << QString();
        QTest::newRow("unknown, single dash")
            << QStringList {"-bogus"} << 2 << "Unknown option 'bogus'";
        QTest::newRow("a Qt name with a value Qt does not read")
            << QStringList {"-platform=xcb"} << 2 << "Unknown option 'platform'";
        QTest::newRow("argument") << QStringList {"song.syx"} << 2
                                  << "unexpected argument \"song.syx\"";
        QTest::newRow("dir missing") << QStringList {"--settings-dir"} << 2 << "--settings-dir";
        QTest::newRow("dir empty") << QStringList {"--settings-dir="} << 2 << "needs a directory";
        QTest::newRow("strict") << QStringList {"--strict-timing"} << Runs << QString();
        QTest::newRow("user") << QStringList {"--user-settings"} << Runs << QString();
        QTest::newRow("dir") << QStringList {"--settings-dir", "/x"} << Runs << QString();
    }
    void parses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, text);
        const TCommandLine commandLine = ParseCommandLine(arguments);
        QCOMPARE(StatusOf(commandLine), status);
        QVERIFY2(commandLine.Text.contains(text), qPrintable(commandLine.Text));
        if (status == 2)
            QVERIFY(commandLine.Text.contains("Try \"ombrix --help\""));
    }

    void keepsWhatTheOptionsSay()
    {
        const TCommandLine commandLine = ParseCommandLine(
            {"--strict-timing", "--settings-dir", "/a", "--settings-dir=/b", "--user-settings"});
        QVERIFY(commandLine.StrictTiming);
        QVERIFY(commandLine.UserSettings);
        QCOMPARE(commandLine.SettingsDirectory, QString("/b"));
        QVERIFY(!ParseCommandLine({}).StrictTiming);
        QVERIFY(ParseCommandLine({"-session", "s1", "--strict-timing", "-reverse"}).StrictTiming);
    }

    void helpLeavesTheDeveloperOptionOut()
    {
        const QString help = ParseCommandLine({"--help"}).Text;
        QVERIFY(!help.contains("screenshots"));
        // The help wraps its lines: compared with the line breaks taken out.
        QVERIFY(help.simplified().contains(
            "Make the built-in instrument drop data messages that come less than 20 ms apart, "
            "as the real MC-307 does."));
        QCOMPARE(ParseCommandLine({"--screenshots", "/s"}).ScreenshotDirectory, QString("/s"));
    }

    void choosesTheSettingsDirectory_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("problem");
        QFile plainFile(Dir.filePath("plain"));
        QVERIFY(plainFile.open(QIODevice::WriteOnly));
        QTest::newRow("usable") << Dir.path() << QString();
        QTest::newRow("missing") << Dir.filePath("missing") << "it does not exist";
        QTest::newRow("a file") << Dir.filePath("plain") << "it is not a directory";
        // Not writable even for root.
        QTest::newRow("unwritable") << "/proc"
                                    << "it cannot be written";
    }
    void choosesTheSettingsDirectory()
    {
        QFETCH(QString, directory);
        QFETCH(QString, problem);
        TCommandLine commandLine = ParseCommandLine({"--settings-dir", directory});
        const QString chosen = ChooseSettingsDirectory(commandLine);
        if (problem.isEmpty()) {
            QCOMPARE(StatusOf(commandLine), Runs);
            QCOMPARE(chosen, QDir(directory).absolutePath());
            // The writing probe leaves nothing behind.
            QCOMPARE(QDir(directory).entryList(QDir::Hidden | QDir::Files).filter(".ombrix-"),
                     QStringList());
        } else {
            QCOMPARE(StatusOf(commandLine), CommandLineErrorStatus);
            QVERIFY2(commandLine.Text.contains(problem), qPrintable(commandLine.Text));
            QVERIFY(commandLine.Text.contains(directory));
        }
    }

    // Root reads every directory: run as root, the choice is made in a child process that has
    // become the unprivileged user "nobody", who owns the folder and may only write to it.
    void refusesAnUnreadableDirectory()
    {
        const QString locked = Dir.filePath("locked");
        QVERIFY(QDir().mkpath(locked));
        QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
        const passwd *nobody = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
        if (::geteuid() == 0) {
            QVERIFY2(nobody, "no user \"nobody\" to drop to");
            QVERIFY(::chown(QFile::encodeName(locked).constData(), nobody->pw_uid, nobody->pw_gid)
                    == 0);
            // The way there is open to everyone.
            QVERIFY(QFile::setPermissions(Dir.path(),
                                          QFile::permissions(Dir.path()) | QFileDevice::ExeOther));
        }
        const auto [status, text] = ChosenAs(nobody, {"--settings-dir", locked});
        QFile::setPermissions(
            locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(status, CommandLineErrorStatus);
        QVERIFY2(text.contains("it cannot be read"), qPrintable(text));
    }

    void defaultIsTheCurrentDirectory()
    {
        TCommandLine commandLine = ParseCommandLine({});
        QCOMPARE(ChooseSettingsDirectory(commandLine), QString());
        QCOMPARE(StatusOf(commandLine), Runs);
        settings::SetSettingsDirectory(QString());
        QCOMPARE(settings::SettingsFilePath(), QString("Ombrix.INI"));
        QCOMPARE(settings::ConfFilePath(), QString("Ombrix.conf"));
    }

    void userSettingsAreCreatedInTheConfigurationFolder()
    {
        qputenv("XDG_CONFIG_HOME", Dir.filePath("config").toLocal8Bit());
        const QString expected = Dir.filePath("config/Ombrix");
        QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation), expected);
        TCommandLine commandLine = ParseCommandLine({"--user-settings"});
        const QString chosen = ChooseSettingsDirectory(commandLine);
        QCOMPARE(StatusOf(commandLine), Runs);
        QCOMPARE(chosen, expected);
        QVERIFY(QFileInfo(expected).isDir());
        settings::SetSettingsDirectory(chosen);
        QCOMPARE(settings::SettingsFilePath(), expected + "/Ombrix.INI");
        QCOMPARE(settings::ConfFilePath(), expected + "/Ombrix.conf");

        // An explicit directory wins.
        commandLine = ParseCommandLine({"--user-settings", "--settings-dir", Dir.path()});
        QCOMPARE(ChooseSettingsDirectory(commandLine), Dir.path());
    }

    void userSettingsThatCannotBeCreated()
    {
        qputenv("XDG_CONFIG_HOME", "/proc/ombrix-config");
        TCommandLine commandLine = ParseCommandLine({"--user-settings"});
        ChooseSettingsDirectory(commandLine);
        QCOMPARE(StatusOf(commandLine), CommandLineErrorStatus);
        QVERIFY2(commandLine.Text.contains("cannot be created"), qPrintable(commandLine.Text));
    }

    // The program itself, with no display: a window would need one, so these end before any.
    void programAnswersWithoutADisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("error");
        QTest::newRow("help") << QStringList {"--help"} << 0 << "Usage: ombrix" << QString();
        QTest::newRow("version") << QStringList {"--version"} << 0 << "ombrix " OMBRIX_VERSION
                                 << QString();
        QTest::newRow("unknown") << QStringList {"--bogus"} << 2 << QString() << "'bogus'";
        QTest::newRow("unwritable") << QStringList {"--settings-dir", "/proc"} << 2 << QString()
                                    << "\"/proc\" cannot be used: it cannot be written";
    }
    void programAnswersWithoutADisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        QFETCH(QString, error);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(OMBRIX_PROGRAM), arguments);
        QVERIFY(program.waitForFinished(30000));
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY2(program.exitCode() == status, qPrintable(err));
        QVERIFY2(out.contains(output), qPrintable(out));
        QVERIFY2(err.contains(error), qPrintable(err));
        if (status != 0)
            QVERIFY2(out.isEmpty(), qPrintable(out));
    }

    // A built-in instrument file that cannot be used ends the program before any window, which
    // would need a display. (What the reasons can be is the instrument's test.)
    void instrumentFileThatCannotBeUsed()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("missing.syx"));
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("OMBRIX_INSTRUMENT_FILE"), path);
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(OMBRIX_PROGRAM), {"--settings-dir", dir.path()});
        QVERIFY(program.waitForFinished(30000));
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 2,
                 qPrintable(err));
        QCOMPARE(err, "ombrix: OMBRIX_INSTRUMENT_FILE: the file \"" + path + "\" does not exist\n");
        QVERIFY(program.readAllStandardOutput().isEmpty());
    }

    // Started on an X display with Qt's options, where neither a JACK server nor (on these
    // machines) an ALSA sequencer runs: each missing MIDI system is worth one line, and the
    // program goes on to show its windows (which --screenshots takes, then ends).
    void startsQuietlyWithoutMidiSystems()
    {
        QTemporaryDir shots;
        QTemporaryDir runtime;
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("JACK_DEFAULT_SERVER", "ombrix-nobody-runs-this");
        environment.insert("XDG_RUNTIME_DIR", runtime.path());
        program.setProcessEnvironment(environment);
        program.start("xvfb-run",
                      XvfbRunOptions()
                          + QStringList {OMBRIX_PROGRAM, "-platform", "xcb", "-style", "Fusion",
                                         "--screenshots", shots.path()});
        QVERIFY2(program.waitForFinished(120000), "xvfb-run (package xvfb) did not end");
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2(program.exitCode() == 0, qPrintable(err));
        QVERIFY(QFileInfo::exists(shots.filePath("setup.png")));
        const QStringList lines = err.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.size() <= 2, qPrintable(err));
        QVERIFY2(lines.filter(": its ports are not listed").size() == lines.size(),
                 qPrintable(err));
        QVERIFY2(lines.filter("JACK not running").size() == 1, qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_app_commandline.moc"
