#include "Ombrix.h"

#include "EditorUndo.h"
#include "NameReader.h"
#include "PatchFileActions.h"
#include "PatchNameBox.h"
#include "ToneColumn.h"
#include "controls/DropDownList.h"
#include "controls/RadioGroup.h"
#include "controls/ReceiveLog.h"
#include "controls/UndoCoordinator.h"
#include "controls/WindowLook.h"
#include "session/ErrorPolicy.h"
#include "session/RequestProcedure.h"
#include "settings/SettingsFile.h"
#include "sysex/ToneParams.h"

#include <QDialog>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>

using session::RunBurstHandler;
using session::RunHandler;

namespace {
const char *const GroupNames[sysex::PatchGroupCount]
    = {"User A",   "User B",   "Preset A", "Preset B", "Preset C",
       "Preset D", "Preset E", "Preset F", "Preset G"};
const char *const ToneWords[] = {" Tone1", " Tone2", " Tone3", " Tone4"};

bool RequestRunning()
{
    return session::TRequestProcedure::Instance().Running();
}
} // namespace

TOmbrix::TOmbrix(midi::IMidiOuts &outputs, TUndoCoordinator &undo, QWidget *parent)
    : QMainWindow(parent)
    , PartSession(new TPartSession(outputs, this))
    , Undo(undo)
{
    setObjectName(QStringLiteral("Ombrix"));
    setWindowTitle(QStringLiteral("Ombrix - Patch Editor for Roland Groovebox MC307"));
    BuildControls();
    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    setStatusBar(StatusBar);
    // The queue lives on another thread: its count is read here, on the window's own timer.
    auto *watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this] { ShowSending(); });
    watch->start(100);
    // A file is offered under the patch's own name; the list's stands in for a patch unnamed.
    Files = new TPatchFileActions(*this, *PartSession, *StatusBar, [this] {
        return NameBox->text().trimmed().isEmpty() ? LBPatch->currentText() : NameBox->text();
    });
    BuildMenus();
    move(0, 0);
    resize(1020, 750);
    // A port that cannot be opened is shown, and creation goes on so the user can fix the setup.
    RunHandler([this] { PartSession->ApplySettings(); });
    CreateEnvelopes();
    new TEditorUndo(this, Undo, *PartSession, *Files, *NameBox, Columns,
                    [this](int group, int patch) { PickPatch(group, patch); });
    // Selecting part 1 runs the part request before the window is first shown.
    RadioGroupSelectPart->SetItemIndex(0);
}

TOmbrix::~TOmbrix()
{
    // The envelope images refer to the envelope objects: they go first, so that no paint or mouse
    // event during the rest of the teardown reaches an envelope that is gone.
    delete takeCentralWidget();
}

void TOmbrix::SetDialogs(QDialog *formSetup, QDialog *formMixer)
{
    FormSetup = formSetup;
    FormMixer = formMixer;
}

void TOmbrix::BuildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client);

    // The columns first, so the top row lies above them.
    for (int tone = 1; tone <= 4; ++tone) {
        auto *column = new TToneColumn(tone, client);
        Columns[static_cast<std::size_t>(tone - 1)] = column;
        // A direct connection: a send that fails throws back through the column's handler and
        // ends it there.
        connect(
            column, &TToneColumn::ParameterChange, this,
            [this, column, tone](int offset, const std::string &value) {
                SendToneChange(*column, tone, offset, value);
            },
            Qt::DirectConnection);
    }

    NameBox = new TPatchNameBox(*PartSession, client);

    LBPatch = new TDropDownList(client);
    LBPatch->setObjectName(QStringLiteral("LBPatch"));
    LBPatch->setGeometry(104, 12, 145, 21);
    LBPatch->setMaxVisibleItems(30);
    LBPatch->addItem(QStringLiteral("Patch Name"));
    LBPatch->SetItemIndex(0);
    LBPatch->setToolTip(QStringLiteral("Patch for the selected part"));
    connect(LBPatch, &TDropDownList::UserChange, this,
            [this] { RunBurstHandler([this] { LBPatchChange(); }); });

    LBPatchGroup = new TDropDownList(client);
    LBPatchGroup->setObjectName(QStringLiteral("LBPatchGroup"));
    LBPatchGroup->setGeometry(252, 12, 93, 21);
    LBPatchGroup->setMaxVisibleItems(10);
    for (const char *group : GroupNames)
        LBPatchGroup->addItem(QString::fromLatin1(group));
    LBPatchGroup->SetItemIndex(-1);
    LBPatchGroup->setToolTip(QStringLiteral("Patch group of the selected part"));
    connect(LBPatchGroup, &TDropDownList::UserChange, this,
            [this] { RunBurstHandler([this] { LBPatchChange(); }); });

    RadioGroupSelectPart = new TRadioGroup(QStringLiteral("Select a Part"),
                                           {"1", "2", "3", "4", "5", "6", "7"}, 8, client);
    RadioGroupSelectPart->setObjectName(QStringLiteral("RadioGroupSelectPart"));
    RadioGroupSelectPart->setGeometry(351, 7, 222, 30);
    RadioGroupSelectPart->setToolTip(QStringLiteral("Select a part to modify"));
    connect(RadioGroupSelectPart, &TRadioGroup::Click, this, [this] {
        const int part = RadioGroupSelectPart->ItemIndex();
        RunBurstHandler([this, part] { PartSession->SelectPart(part); });
    });
    // The Edit menu works on the history of the part whose request runs, which is the part
    // shown from then on; a click that waits in the queue changes nothing yet.
    connect(PartSession, &TPartSession::PartRequested, this,
            [this](int part) { Undo.SelectPart(part); });

    Edit1 = new TReceiveLog(QString(), client);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(586, 11, 215, 21);
    // Plain tags need no text shaping.
    QFont logFont = Edit1->font();
    logFont.setStyleStrategy(QFont::PreferNoShaping);
    Edit1->setFont(logFont);

    auto *labelPub = new QLabel(client);
    labelPub->setObjectName(QStringLiteral("LabelPub"));
    labelPub->setText(QStringLiteral("Please, for any questions, suggestions, or bug report, send "
                                     "an email to support@ombrix.example"));
    labelPub->setGeometry(72, 688, 447, 13);
    labelPub->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));

    connect(PartSession, &TPartSession::SelectionReceived, this, &TOmbrix::ShowSelection);
    connect(PartSession, &TPartSession::CommonReceived, this, [this] { AppendLog(" Common"); });
    connect(PartSession, &TPartSession::ToneReceived, this,
            [this](int tone, const std::vector<sysex::patch::TToneValue> &values) {
                Column(tone).Show(values);
                AppendLog(ToneWords[tone - 1]);
            });
}

void TOmbrix::BuildMenus()
{
    QMenuBar *menu = menuBar();
    menu->setObjectName(QStringLiteral("MainMenu1"));
    QMenu *file = menu->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("Fichier"));
    File = file;
    QAction *setup = file->addAction(QStringLiteral("Setup"));
    setup->setObjectName(QStringLiteral("Setup"));
    connect(setup, &QAction::triggered, this, [this] {
        RunHandler([this] {
            if (RequestRunning())
                return;
            if (FormSetup)
                FormSetup->exec();
            PartSession->ApplySettings();
        });
    });
    QAction *quit = file->addAction(QStringLiteral("Quit"));
    quit->setObjectName(QStringLiteral("Quitter"));
    connect(quit, &QAction::triggered, this, [this] { close(); });
    Files->AddTo(*file);
    (new TNameReader(*this, *PartSession, *Files))->AddTo(*file);
    QMenu *pattern = menu->addMenu(QStringLiteral("Pattern"));
    pattern->setObjectName(QStringLiteral("Pattern"));
    QAction *mixer = pattern->addAction(QStringLiteral("Mixer"));
    mixer->setObjectName(QStringLiteral("Mixer"));
    connect(mixer, &QAction::triggered, this, [this] {
        if (!RequestRunning() && FormMixer)
            RunHandler([this] { FormMixer->exec(); });
    });
    QAction *mfx = pattern->addAction(QStringLiteral("MFX"));
    mfx->setObjectName(QStringLiteral("ActionMFX"));
    connect(mfx, &QAction::triggered, this, [this] {
        if (!RequestRunning() && OpenMfx)
            RunHandler([this] { OpenMfx(); });
    });
    QAction *rhythm = pattern->addAction(QStringLiteral("Rhythm Set"));
    rhythm->setObjectName(QStringLiteral("ActionRhythm"));
    connect(rhythm, &QAction::triggered, this, [this] {
        if (!RequestRunning() && OpenRhythm)
            RunHandler([this] { OpenRhythm(); });
    });
    // The dialogs would take over the input while a request waits for its answers; the rhythm
    // set window's reading would wait behind the running job with the window already up.
    connect(&session::TRequestProcedure::Instance(), &session::TRequestProcedure::RunningChanged,
            this, [setup, mixer, mfx, rhythm](bool running) {
                setup->setEnabled(!running);
                mixer->setEnabled(!running);
                mfx->setEnabled(!running);
                rhythm->setEnabled(!running);
            });
    // What runs is named while it runs.
    connect(&session::TRequestProcedure::Instance(), &session::TRequestProcedure::DoingChanged,
            this, &TOmbrix::ShowJob);
    // Edit comes before View, as in every desktop program.
    menu->addMenu(Undo.EditMenu(menu));
    QMenu *view = menu->addMenu(QStringLiteral("View"));
    view->setObjectName(QStringLiteral("Affichage"));
    QAction *monitor = view->addAction(QStringLiteral("MIDI Monitor"));
    monitor->setObjectName(QStringLiteral("MidiMonitor"));
    monitor->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    // Not modal: the monitor watches while the other windows work.
    connect(monitor, &QAction::triggered, this, [this] {
        if (!FormMonitor)
            return;
        FormMonitor->show();
        FormMonitor->raise();
        FormMonitor->activateWindow();
    });
    FitCaptionsWhenShown(*this);
}

void TOmbrix::SendToneChange(TToneColumn &column, int tone, int offset, const std::string &value)
{
    auto &jobs = session::TRequestProcedure::Instance();
    // The echo of a decoded block belongs to the part being read, and a change made while
    // nothing talks to the instrument goes at once.
    if (column.IsShowing() || !jobs.Running() || jobs.InJobCode()) {
        PartSession->SendToneValue(tone, offset, value);
        return;
    }
    // The user's change during a job goes once the job has ended, to the part it was made for,
    // with the latest value; the answers meanwhile leave the control as the user set it.
    const int part = PartSession->TargetPart();
    column.Hold(offset);
    jobs.Run(
        this, QStringLiteral("Sending..."),
        [this, &column, part, tone, offset, value] {
            column.Release(offset);
            PartSession->SendToneValue(part, tone, offset, value);
        },
        QStringLiteral("tone %1 %2 %3").arg(part).arg(tone).arg(offset));
}

void TOmbrix::ShowJob(const QString &doing)
{
    if (!JobLabel) {
        JobLabel = new QLabel(StatusBar);
        JobLabel->setObjectName(QStringLiteral("JobStatus"));
        StatusBar->addPermanentWidget(JobLabel);
    }
    JobLabel->setText(doing);
}

void TOmbrix::ShowSending()
{
    std::size_t waiting = 0;
    try {
        waiting = PartSession->Output().Waiting();
    } catch (const std::exception &) {
        // No such device: nothing can be waiting for it.
    }
    // Other news on the bar (a device reconnected) is not this count's to clear.
    if (waiting > 10 || (SendingShown && waiting > 0)) {
        StatusBar->showMessage(QStringLiteral("Sending %1 messages...").arg(waiting));
        SendingShown = true;
    } else if (SendingShown) {
        StatusBar->clearMessage();
        SendingShown = false;
    }
}

void TOmbrix::CreateEnvelopes()
{
    for (int tone = 0; tone < 4; ++tone) {
        auto &amp = Envelopes[static_cast<std::size_t>(3 * tone)];
        auto &pitch = Envelopes[static_cast<std::size_t>(3 * tone + 1)];
        auto &filter = Envelopes[static_cast<std::size_t>(3 * tone + 2)];
        constexpr int W = 250;
        constexpr int H = 56;
        amp = std::make_unique<sysex::TEnveloppe>(W, H, 0, false);
        pitch = std::make_unique<sysex::TEnveloppe>(W, H, H / 2, true);
        filter = std::make_unique<sysex::TEnveloppe>(W, H, 0, true);
        Columns[static_cast<std::size_t>(tone)]->AttachEnvelopes(*amp, *pitch, *filter);
    }
}

void TOmbrix::LBPatchChange()
{
    int patch = LBPatch->ItemIndex();
    const int group = LBPatchGroup->ItemIndex();
    // Without a group there are no names to show and no patch to choose.
    if (group < 0 || group >= sysex::PatchGroupCount)
        return;
    if (group == sysex::PresetGGroup && patch > 31)
        patch = 31;
    FillPatchList(group);
    LBPatch->SetItemIndex(patch);
    // No patch selected: the new group's names are shown, and nothing is sent until one is.
    PartSession->ChoosePatch(group, patch);
}

void TOmbrix::PickPatch(int group, int patch)
{
    // A part that played no patch of a group cannot be given that back: nothing to send.
    if (group == sysex::NoSelection || patch == sysex::NoSelection)
        return;
    LBPatchGroup->SetItemIndex(group);
    FillPatchList(group);
    LBPatch->SetItemIndex(patch);
    LBPatchChange();
}

void TOmbrix::FillPatchList(int group)
{
    if (group < 0 || group >= sysex::PatchGroupCount)
        return;
    const std::vector<std::string> &patchNames = PartSession->PatchNames();
    QStringList names;
    names.reserve(sysex::PatchCountOfGroup(group));
    for (int i = 0; i < sysex::PatchCountOfGroup(group); ++i)
        names << settings::PatchNameForDisplay(
            patchNames[static_cast<std::size_t>(sysex::PatchNameIndex(group, i))]);
    // One insertion rather than one per name: a part answer refills the list every time.
    LBPatch->clear();
    LBPatch->addItems(names);
}

void TOmbrix::ShowSelection(const sysex::patch::TPatchSelection &selection)
{
    LBPatchGroup->SetItemIndex(selection.Group);
    if (selection.Group != sysex::NoSelection) {
        FillPatchList(selection.Group);
        LBPatch->SetItemIndex(selection.Patch);
    }
    AppendLog(" Patch");
}

void TOmbrix::AppendLog(const char *word)
{
    Edit1->Append(QLatin1StringView(word));
}
