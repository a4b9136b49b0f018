// The main window's patch files: File > Open Patch..., Save Patch..., and a .syx file dropped on
// the window. Kept apart from the rest of the window, whose menu gets them through one call.

#include "Ombrix.h"

#include "controls/DropDownList.h"
#include "controls/RadioGroup.h"
#include "midi/MidiDevices.h"
#include "midi/MidiError.h"
#include "session/ErrorPolicy.h"
#include "session/RequestProcedure.h"
#include "session/WaitPumping.h"
#include "settings/ConfFile.h"
#include "settings/PatchFileStorage.h"
#include "settings/SettingsFile.h"
#include "sysex/PatchFile.h"
#include "sysex/PatchMessages.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>

namespace {

const QString PatchFileFilter = QStringLiteral("Patch files (*.syx);;All files (*)");

// The one local .syx file a drop carries, or nothing.
QString DroppedPatchFile(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1)
        return {};
    const QString path = data->urls().front().toLocalFile();
    return path.endsWith(QStringLiteral(".syx"), Qt::CaseInsensitive) ? path : QString();
}

// What the last patch file did, in a label of the status bar: the queue's "Sending n
// messages..." covers it for a while and then lets it show again.
void ShowPatchFileReport(QStatusBar *bar, const QString &text)
{
    auto *label = bar->findChild<QLabel *>(QStringLiteral("PatchFileReport"));
    if (!label) {
        label = new QLabel(bar);
        label->setObjectName(QStringLiteral("PatchFileReport"));
        bar->addWidget(label, 1);
    }
    label->setText(text);
}

// Asks whether a file goes out all the same to a part whose patch could not be kept: it could
// not be undone.
bool SendWithoutUndo(QWidget *window, int part)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Ombrix"),
                    QStringLiteral("Part %1 did not answer completely: the file can be sent, but "
                                   "not undone. Send it anyway?")
                        .arg(part + 1),
                    QMessageBox::NoButton, window);
    const QPushButton *send = box.addButton(QStringLiteral("Send"), QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(QStringLiteral("Annuler"), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == send;
}

} // namespace

void TOmbrix::BuildPatchFileMenu(QMenu *file)
{
    QAction *open = new QAction(QStringLiteral("Open Patch..."), file);
    open->setObjectName(QStringLiteral("OpenPatch"));
    open->setShortcut(QKeySequence::Open);
    connect(open, &QAction::triggered, this,
            [this] { session::RunBurstHandler([this] { OpenPatchClick(); }); });
    QAction *save = new QAction(QStringLiteral("Save Patch..."), file);
    save->setObjectName(QStringLiteral("SavePatch"));
    save->setShortcut(QKeySequence::Save);
    connect(save, &QAction::triggered, this,
            [this] { session::RunBurstHandler([this] { SavePatchClick(); }); });
    RecentPatchMenu = new QMenu(QStringLiteral("Recent Patches"), file);
    RecentPatchMenu->setObjectName(QStringLiteral("RecentPatches"));
    // Read when shown: another copy of the program may have opened files meanwhile.
    connect(RecentPatchMenu, &QMenu::aboutToShow, this, [this] { FillRecentPatchMenu(); });
    QAction *first = file->actions().value(0);
    file->insertAction(first, open);
    file->insertAction(first, save);
    file->insertMenu(first, RecentPatchMenu);
    file->insertSeparator(first);
    FillRecentPatchMenu();
    // Both talk to the instrument: not while a request procedure waits for its answers.
    connect(&session::TRequestProcedure::Instance(), &session::TRequestProcedure::RunningChanged,
            this, [this, open, save](bool running) {
                open->setEnabled(!running);
                save->setEnabled(!running);
                RecentPatchMenu->setEnabled(!running && !RecentPatchMenu->isEmpty());
            });
    setAcceptDrops(true);
}

void TOmbrix::FillRecentPatchMenu()
{
    RecentPatchMenu->clear();
    const QStringList files = settings::ReadRecentPatchFiles(settings::ConfFilePath());
    for (const QString &path : files) {
        QAction *item = RecentPatchMenu->addAction(QDir::toNativeSeparators(path));
        connect(item, &QAction::triggered, this,
                [this, path] { session::RunBurstHandler([this, path] { OpenPatch(path); }); });
    }
    RecentPatchMenu->setEnabled(!files.isEmpty()
                                && !session::TRequestProcedure::Instance().Running());
}

void TOmbrix::RememberPatchFile(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    PatchFileDirectory = QFileInfo(absolute).absolutePath();
    const QString conf = settings::ConfFilePath();
    settings::WriteRecentPatchFiles(
        conf, settings::WithRecentPatchFile(settings::ReadRecentPatchFiles(conf), absolute));
    FillRecentPatchMenu();
}

void TOmbrix::OpenPatchClick()
{
    if (session::TRequestProcedure::Instance().Running())
        return;
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Patch"),
                                                      PatchFileDirectory, PatchFileFilter);
    if (!path.isEmpty())
        OpenPatch(path);
}

void TOmbrix::SavePatchClick()
{
    if (session::TRequestProcedure::Instance().Running())
        return;
    QString name = LBPatch->currentText().trimmed();
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (name.isEmpty())
        name = QStringLiteral("Patch");
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Patch"),
        QDir(PatchFileDirectory).filePath(name + QStringLiteral(".syx")), PatchFileFilter);
    if (!path.isEmpty())
        SavePatch(path);
}

void TOmbrix::OpenPatch(const QString &path)
{
    if (session::TRequestProcedure::Instance().Running())
        return;
    const int part = RadioGroupSelectPart->ItemIndex();
    if (part < 0)
        return;
    // The whole file is checked before the first message goes: a bad one sends nothing.
    const settings::TPatchFileLoad load = settings::LoadPatchFile(path);
    if (!load.Error.isEmpty())
        throw midi::EMidiError(load.Error.toStdString());
    // What the part holds now is kept first, so that the opening can be undone; an undo from an
    // incomplete copy would send part of a patch, or nothing.
    const std::vector<midi::TByteStream> held = CollectPatch(part);
    const bool undoable = sysex::MissingPatchBlocks(held, part).empty();
    if (!undoable && !SendWithoutUndo(this, part))
        return;
    midi::IMidiOut &device = Outputs.Device(MidiOutIndex);
    const auto messages = sysex::PatchFileMessages(load.File, DeviceId, part);
    for (const midi::TByteStream &message : messages)
        device.SendSysEx(message);
    if (undoable)
        emit PatchFileOpened(part, sysex::PatchBlockMessages(held, part), messages);
    ShowPatchFileReport(StatusBar,
                        QStringLiteral("%1: %2 messages sent to part %3, %4 other messages skipped")
                            .arg(QFileInfo(path).fileName())
                            .arg(messages.size())
                            .arg(part + 1)
                            .arg(load.File.Skipped));
    // The window then shows what the instrument holds now, not what the file said.
    session::WaitPumpingAfterLeaving(device, sysex::patch::PatchSelectionWaitMs);
    RadioGroupSelectPartClick();
    RememberPatchFile(path);
}

std::vector<midi::TByteStream> TOmbrix::CollectPatch(int part)
{
    // The answers are kept as they come, neither decoded nor echoed: a file holds every byte of
    // the blocks, also those the window does not show.
    std::vector<midi::TByteStream> received;
    session::TSysExAttachment attached(
        midi::MidiIn(), [&received](std::int32_t, std::span<const std::uint8_t> data) {
            received.emplace_back(data.begin(), data.end());
        });
    const sysex::patch::TRequest request
        = sysex::patch::PartRequests(DataRequestHeader, part)[sysex::patch::PartRequestCount - 1];
    SendText(request.Text);
    session::WaitPumpingAfterLeaving(Outputs.Device(MidiOutIndex), request.WaitMs);
    return received;
}

void TOmbrix::SavePatch(const QString &path)
{
    if (session::TRequestProcedure::Instance().Running())
        return;
    const int part = RadioGroupSelectPart->ItemIndex();
    if (part < 0)
        return;
    const std::vector<midi::TByteStream> received = CollectPatch(part);
    const auto missing = sysex::MissingPatchBlocks(received, part);
    if (!missing.empty()) {
        std::string names;
        for (const std::string &name : missing)
            names += (names.empty() ? "" : ", ") + name;
        throw midi::EMidiError(
            "Part " + std::to_string(part + 1) + " did not answer completely (missing: " + names
            + "); " + QDir::toNativeSeparators(path).toStdString() + " was not written.");
    }
    if (const auto error = settings::SavePatchFile(path, sysex::PatchBlockMessages(received, part)))
        throw midi::EMidiError(error->toStdString());
    ShowPatchFileReport(StatusBar, QStringLiteral("Part %1 saved to %2").arg(part + 1).arg(path));
    RememberPatchFile(path);
}

void TOmbrix::dragEnterEvent(QDragEnterEvent *event)
{
    if (!DroppedPatchFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TOmbrix::dropEvent(QDropEvent *event)
{
    const QString path = DroppedPatchFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    session::RunBurstHandler([this, path] { OpenPatch(path); });
}
