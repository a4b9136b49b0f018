// ombrix-soak: the whole program in this process, on the offscreen platform unless another is
// asked for, against its built-in instrument with strict timing, driven by TSoakDriver.
//
//   ombrix-soak [--minutes N | --seconds N] [--seed S] [--actions N]
//
// The seed is printed first; the same seed replays the same actions.

#include "SoakDriver.h"

#include "app/Application.h"
#include "instrument/VirtualInstrument.h"
#include "midi/RtMidiPorts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <random>

namespace {
bool ReadOptions(const QStringList &arguments, TSoakOptions &options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A long seeded session of a user's actions."));
    parser.addHelpOption();
    const QCommandLineOption minutes(QStringLiteral("minutes"), QStringLiteral("Run this long."),
                                     QStringLiteral("minutes"), QStringLiteral("10"));
    const QCommandLineOption seconds(QStringLiteral("seconds"),
                                     QStringLiteral("Run this long (instead of minutes)."),
                                     QStringLiteral("seconds"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("The seed of the actions; random if not given."),
                                  QStringLiteral("seed"));
    const QCommandLineOption actions(QStringLiteral("actions"),
                                     QStringLiteral("Stop after this many actions."),
                                     QStringLiteral("count"));
    parser.addOptions({minutes, seconds, seed, actions});
    parser.process(arguments);
    bool ok = true;
    const auto number = [&ok](const QString &text) {
        bool good = false;
        const qulonglong value = text.toULongLong(&good);
        ok = ok && good;
        return value;
    };
    if (parser.isSet(seconds))
        options.Duration = std::chrono::seconds(number(parser.value(seconds)));
    else
        options.Duration = std::chrono::minutes(number(parser.value(minutes)));
    options.Seed = parser.isSet(seed) ? number(parser.value(seed)) : std::random_device {}();
    if (parser.isSet(actions))
        options.MaxActions = static_cast<long>(number(parser.value(actions)));
    if (!ok)
        std::fprintf(stderr, "ombrix-soak: numbers expected; see --help\n");
    return ok;
}
} // namespace

int main(int argc, char **argv)
{
    midi::PrepareProcessEnvironment();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("OMBRIX_STRICT_TIMING", "1");
    QApplication application(argc, argv);
    SetUpProgramLook();
    TSoakOptions options;
    if (!ReadOptions(QApplication::arguments(), options))
        return 2;

    // The settings, Ombrix.conf and the patch files of the session live in a directory of its
    // own, so a run starts from the defaults and leaves nothing behind.
    QTemporaryDir directory;
    if (!directory.isValid() || !QDir::setCurrent(directory.path())) {
        std::fprintf(stderr, "ombrix-soak: no working directory: %s\n",
                     qPrintable(directory.errorString()));
        return 2;
    }
    options.Directory = directory.path();

    std::unique_ptr<TSoakDriver> driver;
    return RunProgramWindows([&](TProgramWindows &windows) {
        driver = std::make_unique<TSoakDriver>(windows, *BuiltInInstrument(), options);
        QTimer::singleShot(0, &windows.Ombrix, [&] { QApplication::exit(driver->Run()); });
    });
}
