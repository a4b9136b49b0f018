#include "Screenshots.h"

#include "Application.h"
#include "mixer/FormMFX.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPixmap>
#include <QProgressDialog>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <memory>

namespace {

// Time for a window to be drawn, and for a dialog to finish its requests, once it is visible.
constexpr int SettleMilliseconds = 1500;
constexpr int PollMilliseconds = 100;
// A dialog that never shows up would keep the program waiting for good.
constexpr int GiveUpMilliseconds = 30000;

// The window alone or, with over, what the screen shows where the window lies: the window and
// whatever is open over it.
bool Grab(QWidget &window, const QString &path, bool over = false)
{
    QScreen *screen = window.screen();
    const QRect area = window.frameGeometry();
    const QPixmap picture = !screen ? QPixmap()
        : over ? screen->grabWindow(0, area.x(), area.y(), area.width(), area.height())
               : screen->grabWindow(window.winId());
    if (picture.isNull() || !picture.save(path, "PNG")) {
        std::fprintf(stderr, "ombrix: cannot write the screenshot \"%s\"\n",
                     qPrintable(QDir::toNativeSeparators(path)));
        return false;
    }
    return true;
}

// Grabs dialog once it has been on screen for a while, then closes it. Set up before the menu
// action that opens the dialog, whose modal loop then runs the polling timer.
void GrabWhenShown(QDialog &dialog, const QString &path, bool &ok)
{
    auto *timer = new QTimer(&dialog);
    auto shown = std::make_shared<QElapsedTimer>();
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    QObject::connect(timer, &QTimer::timeout, &dialog, [&dialog, &ok, path, timer, shown, waited] {
        // A dialog is visible from the start of its show event, where the mixer still asks the
        // instrument for its values; it is on screen only once exposed.
        if (!dialog.isVisible() || !dialog.windowHandle() || !dialog.windowHandle()->isExposed()) {
            if (waited->elapsed() < GiveUpMilliseconds)
                return;
            std::fprintf(stderr, "ombrix: the window for \"%s\" did not open\n",
                         qPrintable(QDir::toNativeSeparators(path)));
            ok = false;
            timer->deleteLater();
            return;
        }
        if (!shown->isValid())
            shown->start();
        if (shown->elapsed() < SettleMilliseconds)
            return;
        ok = Grab(dialog, path) && ok;
        timer->deleteLater();
        dialog.reject();
    });
    timer->start(PollMilliseconds);
}

// Grabs the main window with the name read's progress over it once the read has gone on for a
// while, then cancels the read, which gives the part its patch back. Set up before the menu
// action that starts the read, whose waits then run the polling timer.
void GrabReadingNames(QWidget &window, const QString &path, bool &ok)
{
    auto *timer = new QTimer(&window);
    auto shown = std::make_shared<QElapsedTimer>();
    QObject::connect(timer, &QTimer::timeout, &window, [&window, &ok, path, timer, shown] {
        auto *progress = window.findChild<QProgressDialog *>(QStringLiteral("ProgressReadNames"));
        if (!progress || !progress->isVisible() || !progress->windowHandle()
            || !progress->windowHandle()->isExposed())
            return;
        if (!shown->isValid())
            shown->start();
        if (shown->elapsed() < SettleMilliseconds)
            return;
        ok = Grab(window, path, true) && ok;
        timer->deleteLater();
        progress->cancel();
    });
    timer->start(PollMilliseconds);
}

// Opens the rhythm set window, which reads the set before the action returns, lets it be drawn,
// grabs it and closes it: a window of its own, not modal.
bool GrabRhythmSet(TProgramWindows &windows, const QString &path)
{
    windows.Ombrix.findChild<QAction *>(QStringLiteral("ActionRhythm"))->trigger();
    // A snare shows more of the key than the kick the window starts on.
    windows.FormRhythm.SelectKey(38);
    QEventLoop settle;
    QTimer::singleShot(SettleMilliseconds, &settle, &QEventLoop::quit);
    settle.exec();
    const bool ok = Grab(windows.FormRhythm, path);
    windows.FormRhythm.close();
    return ok;
}

// The reports shown so far go, so that the next one is the only one.
void CloseReports(QWidget &window)
{
    for (QWidget *report : window.findChildren<QWidget *>(QStringLiteral("PatternReport")))
        delete report;
}

// Grabs a window that is no dialog (its opening's requests are over when the action returns)
// once it has been on screen for a while, then closes it.
bool GrabOpenWindow(QWidget &window, const QString &path)
{
    QElapsedTimer waited;
    waited.start();
    QElapsedTimer shown;
    while (waited.elapsed() < GiveUpMilliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, PollMilliseconds);
        const bool exposed
            = window.isVisible() && window.windowHandle() && window.windowHandle()->isExposed();
        if (exposed && !shown.isValid())
            shown.start();
        if (shown.isValid() && shown.elapsed() >= SettleMilliseconds) {
            const bool ok = Grab(window, path);
            window.close();
            return ok;
        }
    }
    std::fprintf(stderr, "ombrix: the window for \"%s\" did not open\n",
                 qPrintable(QDir::toNativeSeparators(path)));
    return false;
}

} // namespace

void TakeScreenshots(TProgramWindows &windows, const QString &directory)
{
    QTimer::singleShot(SettleMilliseconds, &windows.Ombrix, [&windows, directory] {
        const QDir dir(directory);
        bool ok = Grab(windows.Ombrix, dir.filePath(QStringLiteral("main.png")));
        GrabWhenShown(windows.FormMixer, dir.filePath(QStringLiteral("mixer.png")), ok);
        windows.Ombrix.findChild<QAction *>(QStringLiteral("Mixer"))->trigger();
        windows.Ombrix.findChild<QAction *>(QStringLiteral("ActionMFX"))->trigger();
        ok = GrabOpenWindow(windows.FormMixer.Mfx(), dir.filePath(QStringLiteral("mfx.png"))) && ok;
        GrabWhenShown(windows.FormSetup, dir.filePath(QStringLiteral("setup.png")), ok);
        windows.Ombrix.findChild<QAction *>(QStringLiteral("Setup"))->trigger();
        ok = GrabRhythmSet(windows, dir.filePath(QStringLiteral("rhythm.png"))) && ok;
        const QString reading = dir.filePath(QStringLiteral("readnames.png"));
        GrabReadingNames(windows.Ombrix, reading, ok);
        windows.Ombrix.findChild<QAction *>(QStringLiteral("ActionReadNames"))->trigger();
        if (!QFileInfo::exists(reading)) {
            std::fprintf(stderr, "ombrix: the name read did not show its progress\n");
            ok = false;
        }
        // The restore's report: the pattern backed up, then that file restored and verified.
        const QString backup = dir.filePath(QStringLiteral("pattern.syx"));
        windows.Patterns->BackUp(backup);
        CloseReports(windows.Ombrix);
        windows.Patterns->Restore(backup);
        QTimer::singleShot(SettleMilliseconds, &windows.Ombrix, [&windows, dir, ok]() mutable {
            auto *report = windows.Ombrix.findChild<QWidget *>(QStringLiteral("PatternReport"));
            if (!report) {
                std::fprintf(stderr, "ombrix: the restore showed no report\n");
                ok = false;
            } else {
                ok = Grab(*report, dir.filePath(QStringLiteral("restore.png"))) && ok;
            }
            QApplication::exit(ok ? 0 : 1);
        });
    });
}
