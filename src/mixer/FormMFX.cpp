#include "FormMFX.h"

#include "MfxParamRow.h"
#include "controls/DropDownList.h"
#include "controls/UndoCoordinator.h"
#include "controls/UndoSteps.h"
#include "controls/WindowLook.h"
#include "midi/MidiDevices.h"
#include "midi/MidiError.h"
#include "session/ErrorPolicy.h"
#include "session/RequestProcedure.h"
#include "settings/MfxFileStorage.h"
#include "sysex/PatternMessages.h"
#include "sysex/RolandMessage.h"

#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QUndoStack>

namespace {
constexpr int ClientWidth = 420;
constexpr int RowsTop = 72;
constexpr int RowPitch = 26;
constexpr int ClientHeight = RowsTop + sysex::mfx::ParamCount * RowPitch + 8;
// The thirteen bytes come in one answer; this bounds a device that does not answer.
constexpr int ReadWaitMs = 1000;

// Part R's switch values offered here, in list order.
constexpr std::array<sysex::pattern::TPartMfx, 3> RhythmValues {
    sysex::pattern::TPartMfx::Off, sysex::pattern::TPartMfx::On, sysex::pattern::TPartMfx::Rhythm};
constexpr std::array<const char *, 3> RhythmItems {"OFF", "ON", "RHY"};

int RhythmItem(int byte)
{
    for (std::size_t i = 0; i < RhythmValues.size(); ++i)
        if (static_cast<int>(RhythmValues[i]) == byte)
            return static_cast<int>(i);
    return -1;
}

QLabel *Caption(const char *text, QWidget *parent, const QRect &place)
{
    auto *label = new QLabel(QString::fromLatin1(text), parent);
    label->setGeometry(place);
    return label;
}
} // namespace

TFormMFX::TFormMFX(std::function<TMainWindowSettings()> mainWindow, midi::IMidiOuts &outputs,
                   QWidget *parent)
    : QWidget(parent, parent ? Qt::Tool : Qt::Window)
    , MainWindow(std::move(mainWindow))
{
    State.Outputs = &outputs;
    setObjectName(QStringLiteral("FormMFX"));
    setWindowTitle(QStringLiteral("MFX"));
    setFixedSize(ClientWidth, ClientHeight);
    Build();
    // While a conversation with the instrument runs, nothing here may start another. A hidden
    // window is set as it shows, rather than every control of it twice a job.
    connect(&session::TRequestProcedure::Instance(), &session::TRequestProcedure::RunningChanged,
            this, [this](bool running) {
                if (isVisible())
                    setEnabled(!running);
            });
    FitCaptionsWhenShown(*this);
}

TFormMFX::~TFormMFX() = default;

void TFormMFX::showEvent(QShowEvent *event)
{
    setEnabled(!session::TRequestProcedure::Instance().Running());
    ShowValues();
    QWidget::showEvent(event);
}

void TFormMFX::Build()
{
    Caption("Type", this, QRect(8, 8, 60, 22));
    TypeList = new TDropDownList(this);
    TypeList->setObjectName(QStringLiteral("LBMFXType"));
    TypeList->setMaxVisibleItems(sysex::mfx::TypeCount);
    for (const char *name : sysex::mfx::TypeNames)
        TypeList->addItem(QString::fromLatin1(name));
    TypeList->SetItemIndex(-1);
    TypeList->setGeometry(70, 8, 170, 22);
    connect(TypeList, &TDropDownList::UserChange, this, [this](int type) {
        if (type >= 0)
            UserChange(0, type, false);
    });

    Caption("Part R", this, QRect(8, 38, 60, 22));
    RhythmList = new TDropDownList(this);
    RhythmList->setObjectName(QStringLiteral("LBMFXRhythm"));
    for (const char *item : RhythmItems)
        RhythmList->addItem(QString::fromLatin1(item));
    RhythmList->SetItemIndex(-1);
    RhythmList->setToolTip(QStringLiteral("RHY: each rhythm key's own MFX switch decides"));
    RhythmList->setGeometry(70, 38, 80, 22);
    connect(RhythmList, &TDropDownList::UserChange, this, [this](int item) {
        if (item < 0)
            return;
        const int before = Rhythm.value_or(0);
        const int after = static_cast<int>(RhythmValues[static_cast<std::size_t>(item)]);
        session::RunHandler([&] { SetRhythmPartMfx(after); });
        Push(
            QStringLiteral("MFX Part R"), [this, before] { SetRhythmPartMfx(before); },
            [this, after] { SetRhythmPartMfx(after); });
    });

    auto *save = new QPushButton(QStringLiteral("Save..."), this);
    save->setObjectName(QStringLiteral("MFXSaveBtn"));
    save->setGeometry(ClientWidth - 168, 8, 76, 24);
    connect(save, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(
            this, QStringLiteral("Save the MFX"), QString(), QStringLiteral("MFX files (*.syx)"));
        if (!path.isEmpty())
            session::RunHandler([&] { SaveToFile(path); });
    });
    auto *open = new QPushButton(QStringLiteral("Open..."), this);
    open->setObjectName(QStringLiteral("MFXOpenBtn"));
    open->setGeometry(ClientWidth - 84, 8, 76, 24);
    connect(open, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(
            this, QStringLiteral("Open an MFX"), QString(), QStringLiteral("MFX files (*.syx)"));
        if (!path.isEmpty())
            session::RunHandler([&] { OpenFile(path); });
    });

    for (int v = 1; v <= sysex::mfx::ParamCount; ++v) {
        auto *row = new TMfxParamRow(v, *this, RowsTop + (v - 1) * RowPitch);
        Rows[static_cast<std::size_t>(v - 1)] = row;
        connect(row, &TMfxParamRow::Pressed, this, [this] { ++DragSerial; });
        connect(row, &TMfxParamRow::Change, this,
                [this, v, row](int byte) { UserChange(v, byte, row->Held()); });
    }
}

void TFormMFX::Take(const TMainWindowSettings &settings)
{
    State.OutIndex = settings.MidiOutIndex;
    State.DataSetHeader = sysex::DataSetHeader(settings.DeviceId);
    State.DataRequestHeader = sysex::DataRequestHeader(settings.DeviceId);
    State.Model3AHeader = sysex::Model3AHeader(settings.DeviceId);
}

void TFormMFX::OpenFrom(QWidget *owner)
{
    if (parentWidget() != owner) {
        // Above the mixer, and usable while the mixer runs modally: a window of the mixer's own.
        setParent(owner, owner ? Qt::Tool : Qt::Window);
    }
    Take(MainWindow ? MainWindow() : TMainWindowSettings {});
    show();
    raise();
    activateWindow();
    if (!owner || !Known)
        ReadValues();
}

void TFormMFX::ReadValues()
{
    session::TRequestProcedure::Instance().Run(this, QStringLiteral("Reading the MFX..."), [this] {
        const TMainWindowSettings settings = MainWindow ? MainWindow() : TMainWindowSettings {};
        Take(settings);
        const session::TSysExAttachment attached(
            midi::MidiIn(), [this](std::int32_t, std::span<const std::uint8_t> bytes) {
                Answers.Note(bytes);
                DoSysexData(bytes);
            });
        const TAnswerWait::TBlock block {sysex::mfx::TypeAddress, sysex::mfx::ValueCount};
        Answers.Expect(std::span(&block, 1),
                       static_cast<std::uint8_t>(sysex::DeviceByte(settings.DeviceId)));
        State.Output().SendSysExText(sysex::pattern::MfxRequest(State.DataRequestHeader).Text);
        Answers.Run(State.Output(), ReadWaitMs);
    });
}

void TFormMFX::DoSysexData(std::span<const std::uint8_t> bytes)
{
    const sysex::pattern::TDecoded decoded = sysex::pattern::DecodeMessage(bytes);
    if (!decoded.Any())
        return;
    for (std::size_t v = 0; v < decoded.Mfx.size(); ++v)
        if (decoded.Mfx[v])
            Stored[v] = *decoded.Mfx[v];
    if (decoded.Mfx[0])
        Known = true;
    if (decoded.RhythmPartMfx)
        Rhythm = *decoded.RhythmPartMfx;
    ShowValues();
}

void TFormMFX::ShowValues()
{
    // Every mixer opening brings the values; a hidden window shows them when it shows.
    if (!isVisible())
        return;
    const QScopedValueRollback decoding(State.Decoding, true);
    const int type = Stored[0];
    TypeList->SetItemIndex(Known ? type : -1);
    for (int v = 1; v <= sysex::mfx::ParamCount; ++v)
        Rows[static_cast<std::size_t>(v - 1)]->Show(Known ? sysex::mfx::ParamOf(type, v) : nullptr,
                                                    Stored[static_cast<std::size_t>(v)]);
    RhythmList->SetItemIndex(Rhythm ? RhythmItem(*Rhythm) : -1);
}

void TFormMFX::ShowRhythmPartMfx(int byte)
{
    Rhythm = byte;
    const QScopedValueRollback decoding(State.Decoding, true);
    RhythmList->SetItemIndex(RhythmItem(byte));
}

void TFormMFX::Send(int v, int byte)
{
    // A byte the type does not use, or one out of its range, has no message: nothing goes.
    if (const std::optional<std::string> message
        = sysex::pattern::MfxMessage(State.DataSetHeader, Stored[0], v, byte))
        State.Output().SendSysExText(*message);
}

void TFormMFX::UserChange(int v, int byte, bool held)
{
    if (State.Decoding)
        return;
    const int before = Stored[static_cast<std::size_t>(v)];
    if (before == byte)
        return;
    session::RunHandler([&] { SetValue(v, byte); });
    const sysex::mfx::TMfxParam *param = sysex::mfx::ParamOf(Stored[0], v);
    const QString text = QStringLiteral("MFX %1").arg(QLatin1StringView(param ? param->Name : ""));
    if (!UndoStack)
        return;
    if (v == 0) {
        Push(
            text, [this, before] { SetValue(0, before); }, [this, byte] { SetValue(0, byte); });
        return;
    }
    // The moves of one hold of a bar are one step.
    UndoStack->push(new TControlStep(text, Rows[static_cast<std::size_t>(v - 1)], before, byte,
                                     held ? DragSerial : 0,
                                     [this, v](int value) { SetValue(v, value); }));
}

void TFormMFX::Push(const QString &text, std::function<void()> undo, std::function<void()> redo)
{
    if (UndoStack)
        UndoStack->push(new TUndoStep(text, std::move(undo), std::move(redo)));
}

void TFormMFX::SetValue(int v, int byte)
{
    Stored[static_cast<std::size_t>(v)] = byte;
    if (v == 0 || !Known) {
        Known = true;
        ShowValues();
    } else {
        // A parameter changes its own row alone: a bar's step stays cheap.
        const QScopedValueRollback decoding(State.Decoding, true);
        Rows[static_cast<std::size_t>(v - 1)]->Show(sysex::mfx::ParamOf(Stored[0], v), byte);
    }
    Send(v, byte);
    // What a new type does to the parameters' bytes is the instrument's to say: they are read.
    if (v == 0)
        ReadValues();
}

void TFormMFX::SetRhythmPartMfx(int byte)
{
    ShowRhythmPartMfx(byte);
    State.Output().SendSysExText(sysex::pattern::RhythmPartMfxMessage(
        State.DataSetHeader, static_cast<sysex::pattern::TPartMfx>(byte)));
    emit RhythmPartMfxChanged(byte);
}

void TFormMFX::ApplyValues(const sysex::mfx::TValues &values)
{
    const auto send = [this](const sysex::mfx::TValues &each) {
        Stored = each;
        Known = true;
        ShowValues();
        for (int v = 0; v < sysex::mfx::ValueCount; ++v)
            Send(v, each[static_cast<std::size_t>(v)]);
    };
    const sysex::mfx::TValues before = Stored;
    send(values);
    Push(
        QStringLiteral("MFX File"), [send, before] { send(before); },
        [send, values] { send(values); });
}

void TFormMFX::SaveToFile(const QString &path)
{
    if (const std::optional<QString> error
        = settings::SaveMfxFile(path, Stored, MainWindow ? MainWindow().DeviceId : 0))
        throw midi::EMidiError(error->toStdString());
}

void TFormMFX::OpenFile(const QString &path)
{
    // The whole file is checked before the first message goes: a bad one sends nothing.
    const settings::TMfxFileLoad load = settings::LoadMfxFile(path);
    if (!load.Error.isEmpty())
        throw midi::EMidiError(load.Error.toStdString());
    Take(MainWindow ? MainWindow() : TMainWindowSettings {});
    ApplyValues(*load.Values);
}

void TFormMFX::SetUndo(TUndoCoordinator &undo)
{
    undo.FollowWindow(*this, undo.MixerStack());
    UndoStack = &undo.MixerStack();
}
