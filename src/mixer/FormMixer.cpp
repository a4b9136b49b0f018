#include "FormMixer.h"

#include "EffectsArea.h"
#include "FormMFX.h"
#include "MixerGroup.h"
#include "MixerUndo.h"
#include "controls/EditBox.h"
#include "controls/ReceiveLog.h"
#include "controls/ScrollBar.h"
#include "controls/SetNew.h"
#include "controls/UndoCoordinator.h"
#include "controls/UndoSteps.h"
#include "controls/WindowLook.h"
#include "midi/MidiDevices.h"
#include "midi/MidiError.h"
#include "session/ErrorPolicy.h"
#include "session/RequestProcedure.h"
#include "session/WaitPumping.h"
#include "sysex/PatternMessages.h"
#include "sysex/RolandMessage.h"

#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QUndoStack>
#include <QWindow>

#include <vector>

namespace {
constexpr int ClientWidth = 588;
// An opening whose answers do not all come ends after this, as the fixed waits it replaces did.
constexpr int OpeningWaitMs = 2000;
// The pattern's name and tempo take a row above everything else.
constexpr int TopRow = 28;
constexpr int ClientHeight = 604 + TopRow;

// The window's colours, given as BGR values: 11192063 is red FF, green C6, blue AA.
const QColor PanelColour(0xFF, 0xC6, 0xAA);
const QColor TitleColour(0xFF, 0x80, 0x80);

// Left two thirds: four panels of eight rows; right third: transposition, MFX and the log.
constexpr int LeftPanelLeft = 4;
constexpr int LeftPanelWidth = 388;
constexpr int LeftPanelHeight = 146;
constexpr int RightPanelLeft = 450;
constexpr int RightPanelWidth = 134;
constexpr int RowTop = 17;
constexpr int RowHeight = 16;
constexpr int ColumnWidth = 16; // transposition and MFX columns

QFrame *NewPanel(QWidget *window, const char *name, const char *title, const QRect &area)
{
    auto *panel = new QFrame(window);
    panel->setObjectName(QString::fromLatin1(name));
    // Scoped to the panel itself, so that its controls keep their own look.
    panel->setStyleSheet(QStringLiteral("QFrame#%1 { background-color: %2; }")
                             .arg(panel->objectName(), PanelColour.name()));
    panel->setGeometry(area);
    auto *caption = new QLabel(QString::fromLatin1(title), panel);
    caption->setObjectName(QStringLiteral("Title"));
    QPalette palette = caption->palette();
    palette.setColor(QPalette::WindowText, TitleColour);
    caption->setPalette(palette);
    QFont font = caption->font();
    font.setBold(true);
    caption->setFont(font);
    caption->move(6, 1);
    caption->adjustSize();
    return panel;
}

// Where a check box beside a panel's title goes.
QPoint BesideTitle(const QWidget *panel)
{
    const QLabel *title = panel->findChild<QLabel *>(QStringLiteral("Title"));
    return {title->geometry().right() + 8, 1};
}

// Left of the column of part suffix 1..8: part R rightmost, part 7 leftmost.
int ColumnLeft(int suffix)
{
    return 4 + (sysex::mixer::PartCount - suffix) * ColumnWidth;
}

// While the window opens it is not yet modal, but the main window must take no input during
// its two seconds of requests.
class TOtherWindowsDisabled
{
public:
    explicit TOtherWindowsDisabled(QWidget *self)
    {
        // The windows on screen: topLevelWidgets would walk every widget of the program at each
        // opening.
        for (QWindow *shown : QGuiApplication::topLevelWindows()) {
            if (!shown->isVisible())
                continue;
            QWidget *window = QWidget::find(shown->winId());
            if (!window || window == self || !window->isWindow() || !window->isEnabled())
                continue;
            window->setEnabled(false);
            Disabled.emplace_back(window);
        }
    }
    ~TOtherWindowsDisabled()
    {
        for (const QPointer<QWidget> &window : Disabled)
            if (window)
                window->setEnabled(true);
    }
    TOtherWindowsDisabled(const TOtherWindowsDisabled &) = delete;
    TOtherWindowsDisabled &operator=(const TOtherWindowsDisabled &) = delete;

private:
    std::vector<QPointer<QWidget>> Disabled;
};

// Part R's MFX box: ticked ON, empty OFF, partly ticked RHY, which only the instrument or the
// MFX window sets. A click on it goes between OFF and ON, never to RHY.
class TMfxPartBox : public QCheckBox
{
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override
    {
        const bool on = checkState() == Qt::Unchecked;
        setTristate(false);
        setChecked(on);
    }
};
} // namespace

TFormMixer::TFormMixer(std::function<TMainWindowSettings()> mainWindow, midi::IMidiOuts &outputs,
                       QWidget *parent)
    : QDialog(parent)
    , MainWindow(std::move(mainWindow))
{
    State.Outputs = &outputs;
    setObjectName(QStringLiteral("FormMixer"));
    setWindowTitle(QStringLiteral("Réglages Pattern"));
    setFixedSize(ClientWidth, ClientHeight);
    BuildPanels();
    FitCaptionsWhenShown(*this);
    Mfx();
}

TFormMixer::~TFormMixer()
{
    // Opened from the menu, the MFX window is a window of its own, no longer the mixer's child.
    delete MfxWindow;
}

void TFormMixer::BuildPanels()
{
    using sysex::mixer::TSendGroup;
    struct TGroupPlace
    {
        TSendGroup Group;
        const char *Panel;
        int Top;
        int BarWidth;
    };
    // The send panels leave their right half to the reverb and delay settings.
    const TGroupPlace places[] = {{TSendGroup::Level, "ShapeMixer", TopRow + 4, 326},
                                  {TSendGroup::ReverbSend, "ShapeReverb", TopRow + 154, 130},
                                  {TSendGroup::DelaySend, "ShapeDelay", TopRow + 304, 130},
                                  {TSendGroup::Pan, "ShapePan", TopRow + 454, 326}};
    QWidget *panels[4] = {};
    for (const TGroupPlace &place : places) {
        const std::size_t i = static_cast<std::size_t>(place.Group);
        QFrame *panel = NewPanel(this, place.Panel, sysex::mixer::SendGroupInfo(place.Group).Title,
                                 QRect(LeftPanelLeft, place.Top, LeftPanelWidth, LeftPanelHeight));
        panels[i] = panel;
        Groups[i] = new TMixerGroup(place.Group, State, panel,
                                    {RowTop, RowHeight, 6, 18, 30, 52, place.BarWidth});
        connect(Groups[i], &TMixerGroup::Change, this,
                [this, group = place.Group](int part, int position) {
                    SendControlChange(group, part, position);
                });
    }

    QFrame *transPanel = NewPanel(this, "ShapeTrans", "Transpose Mixer",
                                  QRect(RightPanelLeft, TopRow + 4, RightPanelWidth, 380));
    QFrame *mfxPanel = NewPanel(this, "ShapeMFX", "MFX",
                                QRect(RightPanelLeft, TopRow + 388, RightPanelWidth, 182));
    const QString transHint = QStringLiteral("Use this to set transpose on each part");
    const QString mfxHint = QStringLiteral("Check this box if u want MFX on this part");
    for (int suffix = 1; suffix <= sysex::mixer::PartCount; ++suffix) {
        const std::size_t i = static_cast<std::size_t>(suffix - 1);
        const QString label = QString::fromLatin1(sysex::mixer::Parts[i].Label);
        const int left = ColumnLeft(suffix);

        auto *transLabel = new QLabel(label, transPanel);
        transLabel->setAlignment(Qt::AlignCenter);
        transLabel->setGeometry(left, 18, ColumnWidth, 12);
        BarTrans[i] = new TScrollBar(Qt::Vertical, transPanel);
        BarTrans[i]->setObjectName(
            QStringLiteral("%1%2")
                .arg(QString::fromLatin1(
                    sysex::mixer::Field(sysex::mixer::TFieldId::Transpose).ObjectName))
                .arg(suffix));
        // Minimum at the top: a bar moved upwards raises the part's pitch.
        BarTrans[i]->setRange(sysex::mixer::TransposeMinimum, sysex::mixer::TransposeMaximum);
        BarTrans[i]->setPageStep(1);
        BarTrans[i]->setValue(0);
        BarTrans[i]->setToolTip(transHint);
        BarTrans[i]->setGeometry(left + 1, 32, ColumnWidth - 2, 342);

        auto *mfxLabel = new QLabel(label, mfxPanel);
        mfxLabel->setAlignment(Qt::AlignCenter);
        mfxLabel->setGeometry(left, 22, ColumnWidth, 12);
        CBMFXSwitch[i] = i == 0 ? new TMfxPartBox(mfxPanel) : new QCheckBox(mfxPanel);
        CBMFXSwitch[i]->setObjectName(
            QStringLiteral("%1%2")
                .arg(QString::fromLatin1(
                    sysex::mixer::Field(sysex::mixer::TFieldId::PartMfx).ObjectName))
                .arg(suffix));
        CBMFXSwitch[i]->setToolTip(mfxHint);
        CBMFXSwitch[i]->setGeometry(left + 1, 36, ColumnWidth - 1, 16);
    }
    auto *setup = new QPushButton(QStringLiteral("Setup..."), mfxPanel);
    setup->setObjectName(QStringLiteral("MFXSetupBtn"));
    setup->setToolTip(QStringLiteral("Choose the MFX type and its parameters"));
    setup->setGeometry(6, 60, RightPanelWidth - 12, 24);
    connect(setup, &QPushButton::clicked, this, [this] { Mfx().OpenFrom(this); });

    QWidget *reverbPanel = panels[static_cast<std::size_t>(TSendGroup::ReverbSend)];
    QWidget *delayPanel = panels[static_cast<std::size_t>(TSendGroup::DelaySend)];
    const auto area = [this](sysex::mixer::TSending group, QWidget *panel) {
        auto *effects = new TEffectsArea(group, State, panel, 192, 188);
        connect(effects, &TEffectsArea::Change, this,
                [this, group](const std::vector<int> &values) {
                    for (const std::string &message :
                         sysex::mixer::GroupMessages(State.DataSetHeader, group, values))
                        State.Output().SendSysExText(message);
                });
        return effects;
    };
    ReverbArea = area(sysex::mixer::TSending::ReverbGroup, reverbPanel);
    DelayArea = area(sysex::mixer::TSending::DelayGroup, delayPanel);

    // Each effect's switch beside its panel's title.
    using sysex::mixer::TFieldId;
    const std::pair<TFieldId, QWidget *> switches[] = {{TFieldId::ReverbSwitch, reverbPanel},
                                                       {TFieldId::DelaySwitch, delayPanel},
                                                       {TFieldId::MfxSwitch, mfxPanel}};
    const char *effectNames[] = {"Reverb", "Delay", "MFX"};
    for (std::size_t i = 0; i < std::size(switches); ++i) {
        const auto [field, panel] = switches[i];
        auto *box = new QCheckBox(panel);
        box->setObjectName(QString::fromLatin1(sysex::mixer::Field(field).ObjectName));
        box->setToolTip(QStringLiteral("Check this box to set %1 On/Off")
                            .arg(QString::fromLatin1(effectNames[i])));
        box->setGeometry(QRect(BesideTitle(panel), QSize(16, 16)));
        EffectSwitches[i] = {field, box};
    }

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    OKBtn->setGeometry(396, TopRow + 8, 50, 24);
    connect(OKBtn, &QPushButton::clicked, this, &TFormMixer::OKBtnClick);

    EditBPM = new TReceiveLog(QStringLiteral("0"), this);
    EditBPM->setObjectName(QStringLiteral("EditBPM"));
    EditBPM->setToolTip(QStringLiteral("Set the BPM of the pattern"));
    QFont logFont = EditBPM->font();
    logFont.setPixelSize(9);
    EditBPM->setFont(logFont);
    QPalette logPalette = EditBPM->palette();
    logPalette.setColor(QPalette::Text, Qt::red);
    logPalette.setColor(QPalette::Base, logPalette.color(QPalette::ToolTipText));
    EditBPM->setPalette(logPalette);
    EditBPM->setGeometry(396, TopRow + 578, 188, 20);

    BuildPatternRow();
}

void TFormMixer::BuildPatternRow()
{
    auto *nameLabel = new QLabel(QStringLiteral("Pattern"), this);
    nameLabel->setGeometry(LeftPanelLeft + 2, 6, 48, 20);
    EditPatternName = new TEditBox(this);
    EditPatternName->setObjectName(QStringLiteral("EditPatternName"));
    EditPatternName->setMaxLength(sysex::pattern::NameSize);
    EditPatternName->setToolTip(QStringLiteral("The pattern's name, 15 characters"));
    EditPatternName->setGeometry(LeftPanelLeft + 52, 4, 150, 22);
    auto *tempoLabel = new QLabel(QStringLiteral("Tempo"), this);
    tempoLabel->setGeometry(LeftPanelLeft + 216, 6, 44, 20);
    EditTempo = new TEditBox(this);
    EditTempo->setObjectName(QStringLiteral("EditTempo"));
    EditTempo->setMaxLength(5);
    EditTempo->setToolTip(QStringLiteral("The pattern's tempo, 20.0 to 240.0 BPM"));
    EditTempo->setGeometry(LeftPanelLeft + 262, 4, 60, 22);
    auto *bpm = new QLabel(QStringLiteral("BPM"), this);
    bpm->setGeometry(LeftPanelLeft + 326, 6, 30, 20);
    connect(EditPatternName, &TEditBox::Change, this,
            [this] { session::RunHandler([this] { PatternNameChange(); }); });
    connect(EditTempo, &TEditBox::Change, this,
            [this] { session::RunHandler([this] { TempoChange(); }); });
}

TFormMFX &TFormMixer::Mfx()
{
    if (!MfxWindow) {
        MfxWindow = new TFormMFX(MainWindow, *State.Outputs, this);
        connect(MfxWindow, &TFormMFX::RhythmPartMfxChanged, this,
                [this](int byte) { ShowRhythmPartMfx(byte); });
        if (Undo)
            MfxWindow->SetUndo(*Undo);
    }
    return *MfxWindow;
}

void TFormMixer::ShowRhythmPartMfx(int byte)
{
    const QScopedValueRollback decoding(State.Decoding, true);
    QCheckBox *box = CBMFXSwitch[0];
    if (byte == static_cast<int>(sysex::pattern::TPartMfx::Rhythm)) {
        box->setCheckState(Qt::PartiallyChecked);
        return;
    }
    // Through the check state, so that a box partly ticked before tells its watchers too.
    box->setCheckState(byte != 0 ? Qt::Checked : Qt::Unchecked);
    box->setTristate(false);
}

void TFormMixer::PatternNameChange()
{
    if (State.Decoding)
        return;
    const QString after = EditPatternName->text();
    if (after == ShownName)
        return;
    const QString before = ShownName;
    SetPatternName(after);
    if (UndoStack)
        UndoStack->push(new TUndoStep(
            QStringLiteral("Pattern Name"), [this, before] { SetPatternName(before); },
            [this, after] { SetPatternName(after); }));
}

void TFormMixer::SetPatternName(const QString &name)
{
    {
        const QScopedValueRollback decoding(State.Decoding, true);
        EditPatternName->setText(name);
    }
    ShownName = name;
    State.Output().SendSysExText(
        sysex::pattern::NameMessage(State.DataSetHeader, name.toLatin1().toStdString()));
}

void TFormMixer::TempoChange()
{
    if (State.Decoding)
        return;
    const QString typed = EditTempo->text();
    if (typed == ShownTempo)
        return;
    const std::optional<int> after = sysex::pattern::TempoTenthsFromText(typed.toStdString());
    const std::optional<int> before = sysex::pattern::TempoTenthsFromText(ShownTempo.toStdString());
    if (!after) {
        // A tempo that is none stays what it was.
        const QScopedValueRollback decoding(State.Decoding, true);
        EditTempo->setText(ShownTempo);
        throw midi::EMidiError(QStringLiteral("The tempo %1 is not one of 20.0 to 240.0 BPM")
                                   .arg(typed)
                                   .toStdString());
    }
    SetTempo(*after);
    if (UndoStack && before)
        UndoStack->push(new TUndoStep(
            QStringLiteral("Tempo"), [this, was = *before] { SetTempo(was); },
            [this, now = *after] { SetTempo(now); }));
}

void TFormMixer::SetTempo(int tenths)
{
    ShownTempo = QString::fromStdString(sysex::pattern::TempoText(tenths));
    {
        const QScopedValueRollback decoding(State.Decoding, true);
        EditTempo->setText(ShownTempo);
    }
    State.Output().SendSysExText(sysex::pattern::TempoMessage(State.DataSetHeader, tenths));
}

TMixerGroup &TFormMixer::Group(sysex::mixer::TSendGroup group) const
{
    return *Groups[static_cast<std::size_t>(group)];
}

void TFormMixer::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        if (QScreen *screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
        FormShow();
        // A close asked for during the opening is carried out once the window is up.
        if (PendingResult) {
            const int result = *PendingResult;
            PendingResult.reset();
            QMetaObject::invokeMethod(
                this, [this, result] { done(result); }, Qt::QueuedConnection);
        }
    }
    QDialog::showEvent(event);
}

void TFormMixer::done(int result)
{
    // Closing before the window is up would leave a modal run waiting on a hidden window.
    if (Opening) {
        PendingResult = result;
        return;
    }
    QDialog::done(result);
}

void TFormMixer::FormShow()
{
    if (Opening)
        return;
    Opening = true;
    const auto opened = qScopeGuard([this] { Opening = false; });
    const TOtherWindowsDisabled disabled(this);
    // What the MFX window shows from now on is this opening's answer.
    MfxWindow->ForgetValues();
    session::TRequestProcedure::Instance().Run(
        this, QStringLiteral("Reading the pattern..."), [this] {
            const TMainWindowSettings settings = MainWindow ? MainWindow() : TMainWindowSettings {};
            State.OutIndex = settings.MidiOutIndex;
            State.Model3AHeader = sysex::Model3AHeader(settings.DeviceId);
            State.DataSetHeader = sysex::DataSetHeader(settings.DeviceId);
            State.DataRequestHeader = sysex::DataRequestHeader(settings.DeviceId);
            {
                const session::TSysExAttachment attachment(
                    midi::MidiIn(),
                    [this](std::int32_t index, std::span<const std::uint8_t> bytes) {
                        Answers.Note(bytes);
                        DoSysexData(index, bytes);
                    });
                // The four requests go back to back, and the opening is over once every block
                // they ask for is in: the switches, asked last, come after part R's block again.
                Answers.Expect(OpeningAnswers(),
                               static_cast<std::uint8_t>(sysex::DeviceByte(settings.DeviceId)));
                for (const sysex::mixer::TRequest &request :
                     sysex::mixer::OpeningRequests(State.DataRequestHeader))
                    State.Output().SendSysExText(request.Text);
                State.Output().SendSysExText(
                    sysex::pattern::NameTempoRequest(State.DataRequestHeader).Text);
                Answers.Run(State.Output(), OpeningWaitMs);
            }
            ConnectSendHandlers();
        });
    // An MFX window left open on its own comes above the mixer, where the mixer's modal run
    // lets it take input.
    if (MfxWindow->isVisible() && MfxWindow->parentWidget() != this)
        MfxWindow->OpenFrom(this);
}

std::vector<TAnswerWait::TBlock> TFormMixer::OpeningAnswers()
{
    using sysex::mixer::BlockInfo;
    using sysex::mixer::TBlock;
    const sysex::mixer::TBlockInfo &common = BlockInfo(TBlock::PatternCommon);
    const sysex::mixer::TBlockInfo &part = BlockInfo(TBlock::PatternPart);
    const sysex::mixer::TBlockInfo &system = BlockInfo(TBlock::System);
    const int firstSwitch = sysex::mixer::OffsetOf(sysex::mixer::TFieldId::MfxSwitch);
    std::vector<TAnswerWait::TBlock> blocks {
        {{common.Area, common.SubArea, common.Block, 0x00}, common.Size}};
    for (const sysex::mixer::TMixerPart &each : sysex::mixer::Parts)
        blocks.push_back({{part.Area, part.SubArea, each.BlockByte, 0x00}, part.Size});
    blocks.push_back(
        {{system.Area, system.SubArea, system.Block, static_cast<std::uint8_t>(firstSwitch)},
         system.Size - firstSwitch});
    blocks.push_back({sysex::pattern::SetupAddress, sysex::pattern::NameTempoSize});
    return blocks;
}

void TFormMixer::ConnectSendHandlers()
{
    if (SendConnected)
        return;
    SendConnected = true;
    for (TMixerGroup *group : Groups)
        group->ConnectSendHandlers();
    for (std::size_t i = 0; i < BarTrans.size(); ++i) {
        connect(BarTrans[i], &QScrollBar::valueChanged, this, &TFormMixer::BarTransChange);
        // toggled, not clicked: a change of the box from the program is a click too, as long
        // as the decoder is not the one making it.
        connect(CBMFXSwitch[i], &QCheckBox::toggled, this, &TFormMixer::MFXPartClick);
    }
    ReverbArea->ConnectSendHandlers();
    DelayArea->ConnectSendHandlers();
    // A click on a switch box sends that switch alone.
    for (const auto &effectSwitch : EffectSwitches)
        connect(effectSwitch.second, &QCheckBox::toggled, this,
                [this, field = effectSwitch.first](bool on) { SwitchClick(field, on); });
    // Connected after the handlers, the steps come after them: a number typed into a box that a
    // handler applies on its way is then a step ahead of the change that applied it.
    if (UndoStack)
        new TMixerUndo(*this, State, *UndoStack);
}

void TFormMixer::DoSysexData(std::int32_t, std::span<const std::uint8_t> bytes)
{
    const sysex::mixer::TDecodedMessage message = sysex::mixer::DecodeMessage(bytes);
    const bool wasDecoding = State.Decoding;
    State.Decoding = true;
    const auto decoded = qScopeGuard([&] { State.Decoding = wasDecoding; });
    if (message.Switches) {
        // MFX, delay, then reverb.
        for (auto it = EffectSwitches.rbegin(); it != EffectSwitches.rend(); ++it)
            it->second->setChecked(sysex::mixer::At(*message.Switches, it->first) != 0);
        AppendTag(" Switch");
    }
    if (message.Common) {
        ReverbArea->Decode(*message.Common);
        DelayArea->Decode(*message.Common);
        AppendTag(" Common");
    }
    if (message.PartBlock) {
        DecodePart(*message.PartBlock);
        AppendTag(sysex::mixer::Parts[static_cast<std::size_t>(message.PartBlock->Part)].Tag);
    }
    const sysex::pattern::TDecoded pattern = sysex::pattern::DecodeMessage(bytes);
    if (pattern.Name) {
        ShownName = QString::fromStdString(*pattern.Name);
        SetNewText(*EditPatternName, ShownName);
    }
    if (pattern.TempoHundredths) {
        // Shown to the tenth; the stored hundredths go back only once the user edits the tempo.
        ShownTempo = QString::fromStdString(
            sysex::pattern::TempoText(sysex::pattern::TempoTenths(*pattern.TempoHundredths)));
        SetNewText(*EditTempo, ShownTempo);
    }
    if (pattern.Name || pattern.TempoHundredths)
        AppendTag(" Pattern");
    if (pattern.RhythmPartMfx == static_cast<int>(sysex::pattern::TPartMfx::Rhythm))
        ShowRhythmPartMfx(*pattern.RhythmPartMfx);
    if (MfxWindow && pattern.Any())
        MfxWindow->DoSysexData(bytes);
}

void TFormMixer::DecodePart(const sysex::mixer::TPartBlock &block)
{
    using sysex::mixer::TFieldId;
    using sysex::mixer::TSendGroup;
    const std::size_t i = static_cast<std::size_t>(block.Part);
    const int suffix = block.Part + 1;
    const auto value = [&block](TFieldId field) { return sysex::mixer::At(block.Values, field); };
    const auto show = [&](TSendGroup group) {
        // Each box's own handler moves its bar.
        SetNewText(*Group(group).Box(suffix),
                   QString::number(value(sysex::mixer::SendGroupInfo(group).Field)));
    };
    show(TSendGroup::Level);
    show(TSendGroup::DelaySend);
    show(TSendGroup::ReverbSend);
    BarTrans[i]->setValue(value(TFieldId::Transpose));
    // The hint shows the transposition read, not that of the user's last move; the other
    // parts' bars keep theirs.
    ShowTransHint(*BarTrans[i]);
    show(TSendGroup::Pan);
    // Part R's RHY, a byte beyond the field's OFF and ON, is shown by the pattern's decoding.
    if (i == 0)
        ShowRhythmPartMfx(value(TFieldId::PartMfx) != 0 ? 1 : 0);
    else
        CBMFXSwitch[i]->setChecked(value(TFieldId::PartMfx) != 0);
}

void TFormMixer::ShowTransHint(QScrollBar &bar)
{
    SetNewToolTip(bar, QString::number(-bar.value()));
}

void TFormMixer::RefreshTransHints()
{
    for (QScrollBar *bar : BarTrans)
        ShowTransHint(*bar);
}

void TFormMixer::AppendTag(const char *tag)
{
    EditBPM->Append(QLatin1StringView(tag));
}

void TFormMixer::SendControlChange(sysex::mixer::TSendGroup group, int part, int position)
{
    State.Output().SendShort(sysex::mixer::ControlChangeStatus(
                                 sysex::mixer::Parts[static_cast<std::size_t>(part)].Channel),
                             sysex::mixer::Field(sysex::mixer::SendGroupInfo(group).Field).SendByte,
                             sysex::mixer::ControlChangeValue(group, position));
}

void TFormMixer::BarTransChange()
{
    session::RunHandler([this] {
        if (State.Decoding)
            return;
        RefreshTransHints();
        for (int part : sysex::mixer::SendOrder)
            State.Output().SendSysExText(sysex::mixer::TransposeMessage(
                State.Model3AHeader, part, BarTrans[static_cast<std::size_t>(part)]->value()));
    });
}

void TFormMixer::MFXPartClick()
{
    session::RunHandler([this] {
        if (State.Decoding)
            return;
        // Part R's RHY has no model-3A message: it goes as its data set in its turn, so that a
        // click on another part's box leaves it RHY.
        const bool rhythm = CBMFXSwitch[0]->checkState() == Qt::PartiallyChecked;
        for (int part : sysex::mixer::SendOrder) {
            QCheckBox *box = CBMFXSwitch[static_cast<std::size_t>(part)];
            if (part == 0 && rhythm)
                State.Output().SendSysExText(sysex::pattern::RhythmPartMfxMessage(
                    State.DataSetHeader, sysex::pattern::TPartMfx::Rhythm));
            else
                State.Output().SendSysExText(
                    sysex::mixer::MfxPartMessage(State.Model3AHeader, part, box->isChecked()));
        }
        if (MfxWindow)
            MfxWindow->ShowRhythmPartMfx(static_cast<int>(rhythm ? sysex::pattern::TPartMfx::Rhythm
                                                              : CBMFXSwitch[0]->isChecked()
                                                              ? sysex::pattern::TPartMfx::On
                                                              : sysex::pattern::TPartMfx::Off));
    });
}

void TFormMixer::SwitchClick(sysex::mixer::TFieldId which, bool on)
{
    session::RunHandler([&] {
        if (State.Decoding)
            return;
        State.Output().SendSysExText(sysex::mixer::SwitchMessage(State.DataSetHeader, which, on));
    });
}

void TFormMixer::OKBtnClick()
{
    // A number still being typed is applied before the window closes.
    for (TEditBox *box : findChildren<TEditBox *>())
        box->FinishEdit();
    accept();
}

void TFormMixer::SetUndo(TUndoCoordinator &undo)
{
    Undo = &undo;
    if (MfxWindow)
        MfxWindow->SetUndo(undo);
    undo.FollowWindow(*this, undo.MixerStack());
    UndoStack = &undo.MixerStack();
    if (SendConnected)
        new TMixerUndo(*this, State, *UndoStack);
}
