#include "CommandLine.h"

#include "settings/SettingsFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char *ProgramName = "ombrix";

using namespace Qt::Literals::StringLiterals;

constexpr TQtOption QtOptions[] = {
    {"platform"_L1, true},
    {"platformpluginpath"_L1, true},
    {"platformtheme"_L1, true},
    {"plugin"_L1, true},
    {"qwindowgeometry"_L1, true},
    {"qwindowtitle"_L1, true},
    {"qwindowicon"_L1, true},
    {"reverse"_L1},
    {"session"_L1, true},
    {"style"_L1, true, true},
    {"stylesheet"_L1, true, true},
    {"widgetcount"_L1},
    {"testability"_L1},
    {"qmljsdebugger"_L1, true, true},
    {"qdevel"_L1},
    {"qdebug"_L1},
    // The X11 platform's.
    {"display"_L1, true},
    {"name"_L1, true},
    {"visual"_L1, true},
    {"geometry"_L1, true},
    {"title"_L1, true},
    {"icon"_L1, true},
    {"nograb"_L1},
    {"dograb"_L1},
};

// The arguments less Qt's own options and their values, read as QApplication reads them: an
// option that wants a value takes the next argument, whatever it is.
QStringList WithoutQtOptions(const QStringList &arguments)
{
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        const QStringView name = QStringView(argument).mid(argument.startsWith("--"_L1) ? 2 : 1);
        const auto qt = std::find_if(
            std::begin(QtOptions), std::end(QtOptions), [&](const TQtOption &option) {
                return name == option.Name
                    || (option.TakesJoinedValue && name.startsWith(option.Name)
                        && name.mid(option.Name.size()).startsWith(u'='));
            });
        if (!argument.startsWith(u'-') || qt == std::end(QtOptions)) {
            rest.append(argument);
            continue;
        }
        if (qt->TakesValue && name == qt->Name)
            ++i;
    }
    return rest;
}

QString Quoted(const QString &path)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"');
}

TCommandLine Ending(TCommandLine commandLine, int status, const QString &text)
{
    commandLine.ExitStatus = status;
    commandLine.Text = text;
    return commandLine;
}

QString UsageMistake(const QString &what)
{
    return QStringLiteral("%1: %2\nTry \"%1 --help\" for the options.\n")
        .arg(QLatin1String(ProgramName), what);
}

// Why the program cannot keep its files in directory, or an empty text when it can. Writing is
// tried for real: permission bits do not tell the whole story (root, read-only mounts).
QString DirectoryProblem(const QString &directory)
{
    const QFileInfo info(directory);
    if (!info.exists())
        return QStringLiteral("it does not exist");
    if (!info.isDir())
        return QStringLiteral("it is not a directory");
    if (::access(QFile::encodeName(directory).constData(), R_OK | X_OK) != 0)
        return QStringLiteral("it cannot be read");
    QTemporaryFile probe(QDir(directory).filePath(QStringLiteral(".ombrix-XXXXXX")));
    if (!probe.open())
        return QStringLiteral("it cannot be written (%1)").arg(probe.errorString());
    return {};
}

} // namespace

std::span<const TQtOption> QtOwnOptions()
{
    return QtOptions;
}

TCommandLine ParseCommandLine(const QStringList &arguments)
{
    TCommandLine commandLine;
    QCommandLineParser parser;
    // "-platform" is one unknown option, not eight unknown letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Patch editor for the Roland MC-307 groovebox, over MIDI System Exclusive."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show the options and end."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and end."));
    const QCommandLineOption settingsDir(
        QStringLiteral("settings-dir"),
        QStringLiteral("Keep the settings files (Ombrix.INI, Ombrix.conf) in <directory>, which "
                       "must exist and be readable and writable. Default: the directory Ombrix "
                       "is started from."),
        QStringLiteral("directory"));
    const QCommandLineOption userSettings(
        QStringLiteral("user-settings"),
        QStringLiteral("Keep the settings files in the user's configuration folder (%1), "
                       "created when missing. The desktop menu entry starts Ombrix this way.")
            .arg(QDir::toNativeSeparators(
                QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))));
    const QCommandLineOption strictTiming(
        QStringLiteral("strict-timing"),
        QStringLiteral("Make the built-in instrument drop data messages that come less than "
                       "20 ms apart, as the real MC-307 does."));
    // Writes the main window, the mixer and the setup dialog as PNG files into the directory
    // and ends; scripts/screenshots.sh takes the README's pictures with it.
    QCommandLineOption screenshots(QStringLiteral("screenshots"), QString(),
                                   QStringLiteral("directory"));
    screenshots.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({help, version, settingsDir, userSettings, strictTiming, screenshots});

    if (!parser.parse(QStringList {QLatin1String(ProgramName)} + WithoutQtOptions(arguments)))
        return Ending(commandLine, CommandLineErrorStatus, UsageMistake(parser.errorText()));
    if (parser.isSet(help)) {
        // The parser names the program after the application object's arguments, which do not
        // exist yet: the usage line is ours.
        QString text = parser.helpText();
        text.replace(0, text.indexOf(QLatin1Char('\n')),
                     QStringLiteral("Usage: %1 [options]").arg(QLatin1String(ProgramName)));
        text += QStringLiteral(
            "\nEnvironment:\n"
            "  OMBRIX_INSTRUMENT_FILE=<file>  Fill the built-in instrument's memory from\n"
            "                                 the data sets of a bulk dump (.syx) before it\n"
            "                                 answers anything.\n"
            "  OMBRIX_STRICT_TIMING=1         The same as --strict-timing.\n");
        return Ending(commandLine, 0, text);
    }
    if (parser.isSet(version))
        return Ending(commandLine, 0,
                      QStringLiteral("%1 %2\n").arg(QLatin1String(ProgramName),
                                                    QStringLiteral(OMBRIX_VERSION)));
    if (!parser.positionalArguments().isEmpty())
        return Ending(commandLine, CommandLineErrorStatus,
                      UsageMistake(QStringLiteral("unexpected argument \"%1\".")
                                       .arg(parser.positionalArguments().constFirst())));
    // The last one given counts, as with most programs.
    const QStringList directories = parser.values(settingsDir);
    if (!directories.isEmpty() && directories.constLast().isEmpty())
        return Ending(commandLine, CommandLineErrorStatus,
                      UsageMistake(QStringLiteral("--settings-dir needs a directory.")));
    if (!directories.isEmpty())
        commandLine.SettingsDirectory = directories.constLast();
    commandLine.UserSettings = parser.isSet(userSettings);
    commandLine.StrictTiming = parser.isSet(strictTiming);
    if (parser.isSet(screenshots))
        commandLine.ScreenshotDirectory = parser.value(screenshots);
    return commandLine;
}

QString ChooseSettingsDirectory(TCommandLine &commandLine)
{
    // --settings-dir names the place explicitly, so it wins over --user-settings.
    if (!commandLine.SettingsDirectory.isEmpty()) {
        const QString directory = commandLine.SettingsDirectory;
        const QString problem = DirectoryProblem(directory);
        if (!problem.isEmpty()) {
            commandLine.ExitStatus = CommandLineErrorStatus;
            commandLine.Text = QStringLiteral("%1: the settings directory %2 cannot be used: %3.\n")
                                   .arg(QLatin1String(ProgramName), Quoted(directory), problem);
            return {};
        }
        return QDir(directory).absolutePath();
    }
    if (commandLine.UserSettings) {
        const QString directory
            = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QString problem;
        if (directory.isEmpty())
            problem = QStringLiteral("the system names no configuration folder");
        else if (!QDir().mkpath(directory))
            problem = QStringLiteral("it cannot be created");
        else
            problem = DirectoryProblem(directory);
        if (!problem.isEmpty()) {
            commandLine.ExitStatus = CommandLineErrorStatus;
            commandLine.Text
                = QStringLiteral("%1: the configuration folder %2 cannot be used: %3.\n")
                      .arg(QLatin1String(ProgramName), Quoted(directory), problem);
            return {};
        }
        return directory;
    }
    return {};
}

std::optional<int> StartFromCommandLine(int argc, char **argv, TCommandLine &commandLine)
{
    // Named before anything asks QStandardPaths, which builds the configuration folder's name
    // from it.
    QCoreApplication::setApplicationName(QStringLiteral("Ombrix"));
    QCoreApplication::setApplicationVersion(QStringLiteral(OMBRIX_VERSION));
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    commandLine = ParseCommandLine(arguments);
    if (!commandLine.ExitStatus) {
        const QString directory = ChooseSettingsDirectory(commandLine);
        if (!commandLine.ExitStatus)
            settings::SetSettingsDirectory(directory);
    }
    if (commandLine.ExitStatus) {
        const QByteArray text = commandLine.Text.toLocal8Bit();
        std::FILE *stream = *commandLine.ExitStatus == 0 ? stdout : stderr;
        std::fwrite(text.constData(), 1, std::size_t(text.size()), stream);
        std::fflush(stream);
        return commandLine.ExitStatus;
    }
    // Read by the built-in instrument; set while the program has a single thread.
    if (commandLine.StrictTiming)
        qputenv("OMBRIX_STRICT_TIMING", "1");
    return std::nullopt;
}
