#include "PatchFileActions.h"

#include "PartSession.h"
#include "midi/MidiError.h"
#include "session/ErrorPolicy.h"
#include "session/RequestProcedure.h"
#include "session/WaitPumping.h"
#include "settings/ConfFile.h"
#include "settings/PatchFileStorage.h"
#include "settings/SettingsFile.h"
#include "sysex/PatchFile.h"
#include "sysex/PatchMessages.h"
#include "sysex/RolandMessage.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include <array>
#include <optional>

namespace {

const QString PatchFileFilter = QStringLiteral("Patch files (*.syx);;All files (*)");

bool Running()
{
    return session::TRequestProcedure::Instance().Running();
}

// The one local .syx file a drop carries, or nothing.
QString DroppedPatchFile(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1)
        return {};
    const QString path = data->urls().front().toLocalFile();
    return path.endsWith(QStringLiteral(".syx"), Qt::CaseInsensitive) ? path : QString();
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
    const session::TJobWait answering;
    box.exec();
    return box.clickedButton() == send;
}

QString Joined(const std::vector<std::string> &words)
{
    QStringList list;
    for (const std::string &word : words)
        list << QString::fromStdString(word);
    return list.join(QStringLiteral(", "));
}

// Asks which of the parts' patches a file holds goes to part `to`; none on Annuler. A patch the
// file does not hold whole is listed, and cannot be chosen: it would leave the part half
// written.
std::optional<sysex::TPatchFile> PickFilePart(QWidget *window,
                                              const std::vector<sysex::TPatchFile> &parts, int to)
{
    QDialog dialog(window);
    dialog.setObjectName(QStringLiteral("FormPickPart"));
    dialog.setWindowTitle(QStringLiteral("Open Patch"));
    auto *question = new QLabel(
        QStringLiteral("The file holds the patches of several parts. Which one goes to part %1?")
            .arg(to + 1),
        &dialog);
    question->setWordWrap(true);
    auto *list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("ListPatchParts"));
    for (const sysex::TPatchFile &patch : parts) {
        const QString name
            = QString::fromLatin1(sysex::PatchFileName(patch).value_or(std::string()));
        auto *item
            = new QListWidgetItem(QStringLiteral("Part %1: %2")
                                      .arg(patch.Part + 1)
                                      .arg(name.isEmpty() ? QStringLiteral("(no name)") : name),
                                  list);
        const QString missing = Joined(sysex::MissingFileBlocks(patch));
        if (missing.isEmpty()) {
            if (!list->currentItem())
                list->setCurrentItem(item);
            continue;
        }
        item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
        item->setText(item->text() + QStringLiteral(" (incomplete: %1)").arg(missing));
        item->setToolTip(
            QStringLiteral("The file does not hold this part's %1 whole: it cannot be sent.")
                .arg(missing));
    }
    auto *buttons = new QDialogButtonBox(&dialog);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    ok->setEnabled(list->currentItem());
    QObject::connect(list, &QListWidget::currentItemChanged, ok, [ok](QListWidgetItem *item) {
        ok->setEnabled(item && item->flags().testFlag(Qt::ItemIsEnabled));
    });
    QObject::connect(list, &QListWidget::itemActivated, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(question);
    layout->addWidget(list);
    layout->addWidget(buttons);
    int answer = QDialog::Rejected;
    {
        const session::TJobWait choosing;
        answer = dialog.exec();
    }
    if (answer != QDialog::Accepted || !ok->isEnabled() || list->currentRow() < 0)
        return std::nullopt;
    return parts[std::size_t(list->currentRow())];
}

} // namespace

TPatchFileActions::TPatchFileActions(QWidget &window, TPartSession &session, QStatusBar &bar,
                                     std::function<QString()> patchName)
    : QObject(&window)
    , Window(window)
    , Session(session)
    , Bar(bar)
    , PatchName(std::move(patchName))
{
    window.setAcceptDrops(true);
    window.installEventFilter(this);
}

void TPatchFileActions::AddTo(QMenu &file)
{
    QAction *open = new QAction(QStringLiteral("Open Patch..."), &file);
    open->setObjectName(QStringLiteral("OpenPatch"));
    open->setShortcut(QKeySequence::Open);
    connect(open, &QAction::triggered, this,
            [this] { session::RunBurstHandler([this] { OpenPatchClick(); }); });
    QAction *save = new QAction(QStringLiteral("Save Patch..."), &file);
    save->setObjectName(QStringLiteral("SavePatch"));
    save->setShortcut(QKeySequence::Save);
    connect(save, &QAction::triggered, this,
            [this] { session::RunBurstHandler([this] { SavePatchClick(); }); });
    RecentPatchMenu = new QMenu(QStringLiteral("Recent Patches"), &file);
    RecentPatchMenu->setObjectName(QStringLiteral("RecentPatches"));
    // Read when shown: another copy of the program may have opened files meanwhile.
    connect(RecentPatchMenu, &QMenu::aboutToShow, this, [this] { FillRecentPatchMenu(); });
    QAction *first = file.actions().value(0);
    file.insertAction(first, open);
    file.insertAction(first, save);
    file.insertMenu(first, RecentPatchMenu);
    file.insertSeparator(first);
    FillRecentPatchMenu();
    // Both talk to the instrument: not while a request procedure waits for its answers.
    connect(&session::TRequestProcedure::Instance(), &session::TRequestProcedure::RunningChanged,
            this, [this, open, save](bool running) {
                open->setEnabled(!running);
                save->setEnabled(!running);
                RecentPatchMenu->setEnabled(!running && !RecentPatchMenu->isEmpty());
            });
}

void TPatchFileActions::FillRecentPatchMenu()
{
    RecentPatchMenu->clear();
    const QStringList files = settings::ReadRecentPatchFiles(settings::ConfFilePath());
    for (const QString &path : files) {
        QAction *item = RecentPatchMenu->addAction(QDir::toNativeSeparators(path));
        connect(item, &QAction::triggered, this,
                [this, path] { session::RunBurstHandler([this, path] { OpenPatch(path); }); });
    }
    RecentPatchMenu->setEnabled(!files.isEmpty() && !Running());
}

void TPatchFileActions::RememberPatchFile(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    PatchFileDirectory = QFileInfo(absolute).absolutePath();
    const QString conf = settings::ConfFilePath();
    settings::WriteRecentPatchFiles(
        conf, settings::WithRecentPatchFile(settings::ReadRecentPatchFiles(conf), absolute));
    if (RecentPatchMenu)
        FillRecentPatchMenu();
}

void TPatchFileActions::ShowReport(const QString &text)
{
    // In a label of the status bar: the queue's "Sending n messages..." covers it for a while
    // and then lets it show again.
    if (!Report) {
        Report = new QLabel(&Bar);
        Report->setObjectName(QStringLiteral("PatchFileReport"));
        Bar.addWidget(Report, 1);
    }
    Report->setText(text);
}

void TPatchFileActions::OpenPatchClick()
{
    if (Running())
        return;
    const QString path = QFileDialog::getOpenFileName(&Window, QStringLiteral("Open Patch"),
                                                      PatchFileDirectory, PatchFileFilter);
    if (!path.isEmpty())
        OpenPatch(path);
}

void TPatchFileActions::SavePatchClick()
{
    if (Running())
        return;
    QString name = PatchName().trimmed();
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (name.isEmpty())
        name = QStringLiteral("Patch");
    const QString path = QFileDialog::getSaveFileName(
        &Window, QStringLiteral("Save Patch"),
        QDir(PatchFileDirectory).filePath(name + QStringLiteral(".syx")), PatchFileFilter);
    if (!path.isEmpty())
        SavePatch(path);
}

void TPatchFileActions::OpenPatch(const QString &path)
{
    const int part = Session.SelectedPart();
    if (part < 0)
        return;
    // The whole file is checked before the first message goes: a bad one sends nothing.
    const settings::TPatchFileLoad load = settings::LoadPatchFile(path);
    if (!load.Error.isEmpty())
        throw midi::EMidiError(load.Error.toStdString());
    // A pattern's bulk dump holds the patches of several parts: the user picks one, before
    // anything is sent.
    const bool several = load.Parts.size() > 1;
    const std::optional<sysex::TPatchFile> file
        = several ? PickFilePart(&Window, load.Parts, part) : load.File;
    if (!file)
        return;
    const QString source = several
        ? QStringLiteral("%1, part %2 of the file (%3)")
              .arg(QFileInfo(path).fileName())
              .arg(file->Part + 1)
              .arg(QString::fromLatin1(sysex::PatchFileName(*file).value_or(std::string())))
        : QFileInfo(path).fileName();
    session::TRequestProcedure::Instance().Run(
        this, QStringLiteral("Opening %1...").arg(QFileInfo(path).fileName()),
        [this, path, part, file = *file, source] { SendFile(path, part, file, source); });
}

void TPatchFileActions::SendFile(const QString &path, int part, const sysex::TPatchFile &file,
                                 const QString &source)
{
    // What the part holds now is kept first, so that the opening can be undone; an undo from an
    // incomplete copy would send part of a patch, or nothing.
    const std::vector<midi::TByteStream> held = Session.CollectPatch(part);
    const bool undoable = sysex::MissingPatchBlocks(held, part).empty();
    if (!undoable && !SendWithoutUndo(&Window, part))
        return;
    midi::IMidiOut &device = Session.Output();
    const auto messages = sysex::PatchFileMessages(file, Session.DeviceId(), part);
    for (const midi::TByteStream &message : messages)
        device.SendSysEx(message);
    if (undoable)
        emit PatchFileOpened(part, sysex::PatchBlockMessages(held, part), messages);
    ShowReport(QStringLiteral("%1: %2 messages sent to part %3, %4 other messages skipped")
                   .arg(source)
                   .arg(messages.size())
                   .arg(part + 1)
                   .arg(file.Skipped));
    // The window then shows what the instrument holds now, not what the file said.
    session::WaitPumpingAfterLeaving(device, sysex::patch::PatchSelectionWaitMs);
    Session.RequestAgain();
    RememberPatchFile(path);
}

void TPatchFileActions::SavePatch(const QString &path)
{
    const int part = Session.SelectedPart();
    if (part < 0)
        return;
    session::TRequestProcedure::Instance().Run(
        this, QStringLiteral("Saving part %1...").arg(part + 1), [this, path, part] {
            const std::vector<midi::TByteStream> blocks = Session.CollectWholePatch(
                part, QDir::toNativeSeparators(path).toStdString() + " was not written.");
            if (const auto error = settings::SavePatchFile(path, blocks))
                throw midi::EMidiError(error->toStdString());
            ShowReport(QStringLiteral("Part %1 saved to %2").arg(part + 1).arg(path));
            RememberPatchFile(path);
        });
}

void TPatchFileActions::SendPatchMessages(int part,
                                          const std::vector<std::vector<std::uint8_t>> &messages)
{
    SendPatchData(part, messages);
    Session.RequestAgain();
}

void TPatchFileActions::SendPatchData(int part,
                                      const std::vector<std::vector<std::uint8_t>> &messages)
{
    midi::IMidiOut &out = Session.Output();
    for (const std::vector<std::uint8_t> &message : messages) {
        const std::optional<sysex::TRolandMessage> dataSet = sysex::ReadRolandMessage(message);
        if (!dataSet || !dataSet->IsDataSet() || !dataSet->Address())
            continue;
        const sysex::TAddress was = *dataSet->Address();
        const sysex::TAddress address {was[0], static_cast<std::uint8_t>(part), was[2], was[3]};
        for (const midi::TByteStream &packet :
             sysex::DataSetPackets(Session.DeviceId(), address, dataSet->AfterAddress()))
            out.SendSysEx(packet);
    }
}

bool TPatchFileActions::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != &Window || (event->type() != QEvent::DragEnter && event->type() != QEvent::Drop))
        return false;
    auto *drop = static_cast<QDropEvent *>(event);
    const QString path = DroppedPatchFile(drop->mimeData());
    if (path.isEmpty())
        return false;
    drop->acceptProposedAction();
    // A file dropped while a job runs is opened once it has ended, its question included.
    if (event->type() == QEvent::Drop)
        session::TRequestProcedure::Instance().Run(
            this, QStringLiteral("Opening %1...").arg(QFileInfo(path).fileName()),
            [this, path] { OpenPatch(path); });
    return true;
}
