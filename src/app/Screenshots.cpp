#include "Screenshots.h"

#include "Application.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
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

bool Grab(QWidget &window, const QString &path)
{
    QScreen *screen = window.screen();
    const QPixmap picture = screen ? screen->grabWindow(window.winId()) : QPixmap();
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

} // namespace

void TakeScreenshots(TProgramWindows &windows, const QString &directory)
{
    QTimer::singleShot(SettleMilliseconds, &windows.Ombrix, [&windows, directory] {
        const QDir dir(directory);
        bool ok = Grab(windows.Ombrix, dir.filePath(QStringLiteral("main.png")));
        GrabWhenShown(windows.FormMixer, dir.filePath(QStringLiteral("mixer.png")), ok);
        windows.Ombrix.findChild<QAction *>(QStringLiteral("Mixer"))->trigger();
        GrabWhenShown(windows.FormSetup, dir.filePath(QStringLiteral("setup.png")), ok);
        windows.Ombrix.findChild<QAction *>(QStringLiteral("Setup"))->trigger();
        QApplication::exit(ok ? 0 : 1);
    });
}
