#pragma once

// The program's command line. It is read before any application object exists, so that --help,
// --version and every mistake are answered without a display and before a window opens.

#include <QString>
#include <QStringList>

#include <QLatin1StringView>

#include <optional>
#include <span>

// Ends with this status when an option cannot be used: a usage mistake, or a settings directory
// the program cannot keep its files in.
inline constexpr int CommandLineErrorStatus = 2;

struct TCommandLine
{
    // Set when the program ends at once, printing Text (on the standard output for status 0,
    // else on the standard error) without opening a window.
    std::optional<int> ExitStatus;
    QString Text;

    // --settings-dir, as given; empty when absent.
    QString SettingsDirectory;
    // --user-settings: the user's configuration folder instead of the current directory.
    bool UserSettings = false;
    // --strict-timing.
    bool StrictTiming = false;
    // --screenshots: a developer option, left out of --help (see TakeScreenshots).
    QString ScreenshotDirectory;
};

// An option that QApplication takes out of the command line itself, as "-name" or "--name".
struct TQtOption
{
    QLatin1StringView Name;
    // Takes the argument that follows as its value, whatever it is.
    bool TakesValue = false;
    // Also written "-name=value".
    bool TakesJoinedValue = false;
};

// Qt's own options, those of the X11 platform among them: a desktop may pass them to any
// program, and elsewhere Qt leaves them unused.
std::span<const TQtOption> QtOwnOptions();

// Reads the arguments that follow the program's name. Qt's own options are let through, each
// with its value, for QApplication to take.
TCommandLine ParseCommandLine(const QStringList &arguments);

// The directory for the settings files, checked: the current directory (empty) by default; the
// --settings-dir directory, which must exist and be readable and writable; or, for
// --user-settings, the user's configuration folder, created when missing. Sets ExitStatus and
// Text when the directory cannot be used.
QString ChooseSettingsDirectory(TCommandLine &commandLine);

// Everything the command line does before the application object exists: parses it, answers
// --help and --version, applies --strict-timing to the environment (before any thread exists)
// and sets the settings directory. Returns the status to end with when no window is to open.
std::optional<int> StartFromCommandLine(int argc, char **argv, TCommandLine &commandLine);
