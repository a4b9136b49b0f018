#include "Ombrix.h"

#include "ToneColumn.h"
#include "controls/DropDownList.h"
#include "controls/RadioGroup.h"
#include "controls/ReceiveLog.h"
#include "controls/WindowLook.h"
#include "midi/MidiDevices.h"
#include "midi/MidiError.h"
#include "midi/SysExText.h"
#include "session/ErrorPolicy.h"
#include "session/RequestProcedure.h"
#include "session/WaitPumping.h"
#include "settings/SettingsFile.h"
#include "sysex/PatchMessages.h"
#include "sysex/RolandMessage.h"
#include "sysex/ToneParams.h"

#include <QDialog>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <limits>
#include <utility>

using midi::HexByte;
using session::RunBurstHandler;
using session::RunHandler;

namespace {
const char *const GroupNames[sysex::PatchGroupCount]
    = {"User A",   "User B",   "Preset A", "Preset B", "Preset C",
       "Preset D", "Preset E", "Preset F", "Preset G"};
const char *const ToneWords[] = {" Tone1", " Tone2", " Tone3", " Tone4"};
} // namespace

TOmbrix::TOmbrix(midi::IMidiOuts &outputs, QWidget *parent)
    : QMainWindow(parent)
    , PatchNames(sysex::PatchNameCount)
    , Outputs(outputs)
{
    setObjectName(QStringLiteral("Ombrix"));
    setWindowTitle(QStringLiteral("Ombrix - Patch Editor for Roland Groovebox MC307"));
    BuildControls();
    BuildViewMenu();
    BuildStatusBar();
    FormCreate();
    BuildEditMenu();
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
    WatchMixerWindow();
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
            [this, tone](int offset, const std::string &value) {
                SendText(sysex::ToneMessageText(DataSetHeader, PartText, tone, offset, value));
            },
            Qt::DirectConnection);
    }

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
    connect(RadioGroupSelectPart, &TRadioGroup::Click, this,
            [this] { RunBurstHandler([this] { RadioGroupSelectPartClick(); }); });

    Edit1 = new TReceiveLog(QString(), client);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(586, 11, 215, 21);
    // Plain tags need no text shaping.
    QFont logFont = Edit1->font();
    logFont.setStyleStrategy(QFont::PreferNoShaping);
    Edit1->setFont(logFont);

    LabelPub = new QLabel(client);
    LabelPub->setObjectName(QStringLiteral("LabelPub"));
    LabelPub->setText(QStringLiteral("Please, for any questions, suggestions, or bug report, send "
                                     "an email to support@ombrix.example"));
    LabelPub->setGeometry(72, 688, 447, 13);
    LabelPub->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));

    QMenuBar *menu = menuBar();
    menu->setObjectName(QStringLiteral("MainMenu1"));
    QMenu *file = menu->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("Fichier"));
    SetupAction = file->addAction(QStringLiteral("Setup"));
    SetupAction->setObjectName(QStringLiteral("Setup"));
    connect(SetupAction, &QAction::triggered, this,
            [this] { RunHandler([this] { SetupClick(); }); });
    QAction *quit = file->addAction(QStringLiteral("Quit"));
    quit->setObjectName(QStringLiteral("Quitter"));
    connect(quit, &QAction::triggered, this, [this] { RunHandler([this] { QuitterClick(); }); });
    BuildPatchFileMenu(file);
    QMenu *pattern = menu->addMenu(QStringLiteral("Pattern"));
    pattern->setObjectName(QStringLiteral("Pattern"));
    MixerAction = pattern->addAction(QStringLiteral("Mixer"));
    MixerAction->setObjectName(QStringLiteral("Mixer"));
    connect(MixerAction, &QAction::triggered, this,
            [this] { RunHandler([this] { MixerClick(); }); });
    // The dialogs would take over the input while a request waits for its answers.
    connect(&session::TRequestProcedure::Instance(), &session::TRequestProcedure::RunningChanged,
            this, [this](bool running) {
                SetupAction->setEnabled(!running);
                MixerAction->setEnabled(!running);
            });
    FitCaptionsWhenShown(*this);
}

void TOmbrix::BuildViewMenu()
{
    QMenu *view = menuBar()->addMenu(QStringLiteral("View"));
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
}

void TOmbrix::BuildStatusBar()
{
    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    setStatusBar(StatusBar);
    // The queue lives on another thread: its count is read here, on the window's own timer.
    auto *watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, [this] { ShowSending(); });
    watch->start(100);
}

void TOmbrix::ShowSending()
{
    std::size_t waiting = 0;
    try {
        waiting = Outputs.Device(MidiOutIndex).Waiting();
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

void TOmbrix::FormCreate()
{
    move(0, 0);
    resize(1020, 750);
    // A port that cannot be opened is shown, and creation goes on so the user can fix the setup.
    RunHandler([this] { ApplySettings(); });
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
    // Selecting part 1 runs the part request before the window is first shown.
    RadioGroupSelectPart->SetItemIndex(0);
}

void TOmbrix::ApplySettings()
{
    settings::TSettingsValues values;
    values.MidiInIndex = MidiInIndex;
    values.MidiOutIndex = MidiOutIndex;
    values.DeviceId = DeviceId;
    values.PatchNames = PatchNames;
    const settings::TReadOutcome outcome
        = settings::ReadSettingsFile(settings::SettingsFilePath(), values);
    MidiInIndex = values.MidiInIndex;
    MidiOutIndex = values.MidiOutIndex;
    DeviceId = values.DeviceId;
    PatchNames = std::move(values.PatchNames);
    PatchNames.resize(sysex::PatchNameCount);

    // A device that cannot be opened does not keep the other one closed nor the headers
    // unbuilt: every later message needs them. The errors are shown once all is done.
    std::string errors = outcome.Error;
    const auto open = [&errors](const auto &openDevice) {
        try {
            openDevice();
        } catch (const std::exception &e) {
            errors += (errors.empty() ? "" : "\n") + std::string(e.what());
        }
    };
    open([this] { midi::MidiIn().Open(MidiInIndex); });
    open([this] { Outputs.Open(MidiOutIndex); });
    DataSetHeader = sysex::DataSetHeader(DeviceId);
    DataRequestHeader = sysex::DataRequestHeader(DeviceId);
    if (!errors.empty())
        throw midi::EMidiError(errors);
}

void TOmbrix::SendText(const std::string &text)
{
    Outputs.Device(MidiOutIndex).SendSysExText(text);
}

void TOmbrix::RadioGroupSelectPartClick()
{
    // One request procedure at a time: a click while one runs is taken when it ends, and the
    // latest click wins. The running one keeps its part until then, so that what is still
    // arriving for it is echoed to it and not to the part just clicked.
    if (session::TRequestProcedure::Instance().Running()) {
        PartRequestPending = true;
        return;
    }
    do {
        PartRequestPending = false;
        RequestPart();
    } while (PartRequestPending);
}

void TOmbrix::RequestPart()
{
    const int part = RadioGroupSelectPart->ItemIndex();
    if (part < 0)
        return;
    PartText = HexByte(part);
    MessagePart = part;
    session::TSysExAttachment attached(
        midi::MidiIn(), [this](std::int32_t index, std::span<const std::uint8_t> data) {
            DoSysexData(index, data);
        });
    // Each request is built when it is sent, with the header of that moment; its wait starts
    // when it has left the output's queue.
    for (std::size_t i = 0; i < sysex::patch::PartRequestCount; ++i) {
        const sysex::patch::TRequest request
            = sysex::patch::PartRequests(DataRequestHeader, part)[i];
        SendText(request.Text);
        session::WaitPumpingAfterLeaving(Outputs.Device(MidiOutIndex), request.WaitMs);
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
    const int part = RadioGroupSelectPart->ItemIndex();
    // No patch selected: the new group's names are shown, and nothing is sent until one is.
    if (patch < 0 || part < 0)
        return;
    for (const std::string &message :
         sysex::patch::PatchSelectionMessages(DataSetHeader, part, group, patch))
        SendText(message);
    const sysex::patch::TPatchSelection sent {group, patch};
    emit PatchSelectionSent(
        part, std::exchange(KnownSelections[static_cast<std::size_t>(part)], sent), sent);
    session::WaitPumpingAfterLeaving(Outputs.Device(MidiOutIndex),
                                     sysex::patch::PatchSelectionWaitMs);
    RadioGroupSelectPartClick();
}

void TOmbrix::FillPatchList(int group)
{
    if (group < 0 || group >= sysex::PatchGroupCount)
        return;
    QStringList names;
    names.reserve(sysex::PatchCountOfGroup(group));
    for (int i = 0; i < sysex::PatchCountOfGroup(group); ++i)
        names << settings::PatchNameForDisplay(
            PatchNames[static_cast<std::size_t>(sysex::PatchNameIndex(group, i))]);
    // One insertion rather than one per name: a part answer refills the list every time.
    LBPatch->clear();
    LBPatch->addItems(names);
}

void TOmbrix::SetupClick()
{
    if (session::TRequestProcedure::Instance().Running())
        return;
    if (FormSetup)
        FormSetup->exec();
    ApplySettings();
}

void TOmbrix::MixerClick()
{
    if (session::TRequestProcedure::Instance().Running())
        return;
    if (FormMixer)
        FormMixer->exec();
}

void TOmbrix::QuitterClick()
{
    close();
}

void TOmbrix::AppendLog(const char *word)
{
    Edit1->Append(QLatin1StringView(word));
}

void TOmbrix::DoSysexData(std::int32_t, std::span<const std::uint8_t> data)
{
    const sysex::patch::TDecoded decoded = sysex::patch::DecodeMessage(data);
    switch (decoded.Block) {
    case sysex::patch::TBlock::PatternPart: {
        // The part's patch selection; a block is taken to be the requested part's.
        if (!decoded.Selection)
            return;
        const sysex::patch::TPatchSelection &selection = *decoded.Selection;
        LBPatchGroup->SetItemIndex(selection.Group);
        KnownSelections[static_cast<std::size_t>(MessagePart)] = selection;
        if (selection.Group != sysex::NoSelection) {
            FillPatchList(selection.Group);
            LBPatch->SetItemIndex(selection.Patch);
        }
        AppendLog(" Patch");
        break;
    }
    case sysex::patch::TBlock::PatchCommon:
        AppendLog(" Common");
        break;
    case sysex::patch::TBlock::Tone:
        if (decoded.Values.empty())
            return;
        Column(decoded.Tone).Show(decoded.Values);
        AppendLog(ToneWords[decoded.Tone - 1]);
        break;
    case sysex::patch::TBlock::NotOurs:
        break;
    }
}
