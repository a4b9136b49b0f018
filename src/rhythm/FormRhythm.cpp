#include "FormRhythm.h"

#include "KeyPanel.h"
#include "RhythmKeyboard.h"
#include "RhythmStep.h"
#include "controls/UndoCoordinator.h"
#include "midi/MidiDevices.h"
#include "session/ErrorPolicy.h"
#include "session/RequestProcedure.h"
#include "session/WaitPumping.h"
#include "sysex/RolandMessage.h"
#include "sysex/WaveList.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSaveFile>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QTableView>
#include <QUndoStack>
#include <QVBoxLayout>

#include <numeric>
#include <stdexcept>

using namespace sysex::rhythm;

namespace {
// The spanning request's answers take 65 data sets, about 1.3 s on a DIN cable; an instrument
// that answers less is given this long once they stop.
constexpr int SpanningWaitMs = 3000;
// The blocks asked for alone, back to back.
constexpr int BlockWaitMs = 1500;
// As the instrument's bulk dumps: a larger file is no rhythm set.
constexpr qint64 FileLimit = 8 * 1024 * 1024;
constexpr std::uint8_t NoteOnChannel10 = 0x99;
constexpr std::uint8_t NoteOffChannel10 = 0x89;
constexpr std::uint8_t PlayVelocity = 100;

enum TListColumn { NoteColumn, GroupColumn, WaveColumn };

QString Text(const std::string &text)
{
    return QString::fromStdString(text);
}

QString KeyLabel(int note)
{
    return QStringLiteral("%1 %2").arg(note).arg(Text(NoteName(note)));
}

QString StepText(const char *what, int note)
{
    return QStringLiteral("%1 Key %2").arg(QLatin1String(what)).arg(note);
}

void SendIf(midi::IMidiOut &output, const std::optional<midi::TByteStream> &message)
{
    if (message)
        output.SendSysEx(*message);
}

// A row's data sets for a key: the wave as one, an envelope as its times and levels.
void SendRow(midi::IMidiOut &output, int deviceId, int note, int row, const TKeyBlock &key)
{
    const TKeyParam &param = KeyTable[static_cast<std::size_t>(row)];
    switch (param.Kind) {
    case TKeyKind::WaveList: {
        const TKeyWave wave = WaveOfKey(key);
        SendIf(output, KeyWaveMessage(deviceId, note, wave.GroupByte, wave.Number));
        break;
    }
    case TKeyKind::EnvelopeImage: {
        const sysex::TEnvelopeParams &shape = param.Envelope->Shape;
        for (std::size_t i = 0; i < 4; ++i) {
            SendIf(output,
                   KeyByteMessage(deviceId, note, shape.TimeOffsets[i], key[shape.TimeOffsets[i]]));
            if (static_cast<int>(i) < shape.LevelCount)
                SendIf(output,
                       KeyByteMessage(deviceId, note, shape.LevelOffsets[i],
                                      key[shape.LevelOffsets[i]]));
        }
        break;
    }
    default:
        SendIf(output, KeyParamMessage(deviceId, note, param, param.ToControl(key[param.Offset])));
        break;
    }
}
} // namespace

TFormRhythm::TFormRhythm(std::function<TRhythmTarget()> target, midi::IMidiOuts &outputs,
                         QWidget *parent)
    : QMainWindow(parent)
    , Target(std::move(target))
    , Outputs(outputs)
{
    setObjectName(QStringLiteral("FormRhythm"));
    setWindowTitle(QStringLiteral("Rhythm Set"));
    BuildWindow();
    BuildMenus();
    // The window's actions talk to the instrument: none while another job waits for answers.
    connect(&session::TRequestProcedure::Instance(), &session::TRequestProcedure::RunningChanged,
            this, [this](bool running) {
                centralWidget()->setEnabled(!running);
                menuBar()->setEnabled(!running);
            });
    ShowAll();
}

TFormRhythm::~TFormRhythm()
{
    // The name box loses the focus as the window's widgets go, after this object's own part:
    // its editingFinished would reach a window that is no longer one.
    EditName->disconnect(this);
    KeyList->selectionModel()->disconnect(this);
}

void TFormRhythm::BuildWindow()
{
    auto *central = new QWidget(this);
    setCentralWidget(central);
    auto *rows = new QVBoxLayout(central);

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Name"), central));
    EditName = new QLineEdit(central);
    EditName->setObjectName(QStringLiteral("EditRhythmName"));
    EditName->setMaxLength(NameSize);
    // Characters 32 to 125, as the instrument's names hold them.
    EditName->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[ -}]{0,%1}").arg(NameSize)), EditName));
    EditName->setFixedWidth(140);
    connect(EditName, &QLineEdit::editingFinished, this, &TFormRhythm::NameEdited);
    top->addWidget(EditName);
    top->addStretch();
    const std::pair<const char *, const char *> files[]
        = {{"BtnOpenRhythm", "Open..."}, {"BtnSaveRhythm", "Save..."}};
    for (const auto &[name, caption] : files) {
        auto *button = new QPushButton(QString::fromLatin1(caption), central);
        button->setObjectName(QString::fromLatin1(name));
        button->setAutoDefault(false);
        top->addWidget(button);
    }
    rows->addLayout(top);

    Keyboard = new TRhythmKeyboard(central);
    connect(Keyboard, &TRhythmKeyboard::Pressed, this, [this](int note) {
        SelectKey(note);
        Play(note, true);
    });
    connect(Keyboard, &TRhythmKeyboard::Released, this, [this](int note) { Play(note, false); });
    rows->addWidget(Keyboard);

    auto *lower = new QHBoxLayout;
    KeyRows = new QStandardItemModel(KeyCount, 3, this);
    KeyRows->setHorizontalHeaderLabels(
        {QStringLiteral("Key"), QStringLiteral("Group"), QStringLiteral("Wave")});
    for (int note = FirstKey; note <= LastKey; ++note) {
        const int at = note - FirstKey;
        const std::optional<TRhythmGroup> group = RhythmGroupOf(note);
        KeyRows->setItem(at, NoteColumn, new QStandardItem(KeyLabel(note)));
        KeyRows->setItem(at, GroupColumn,
                         new QStandardItem(group ? QString::fromLatin1(
                                               RhythmGroupNames[static_cast<std::size_t>(*group)])
                                                 : QString()));
        KeyRows->setItem(at, WaveColumn, new QStandardItem);
    }
    KeyList = new QTableView(central);
    KeyList->setObjectName(QStringLiteral("ListRhythmKeys"));
    KeyList->setModel(KeyRows);
    KeyList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    KeyList->setSelectionBehavior(QAbstractItemView::SelectRows);
    KeyList->setSelectionMode(QAbstractItemView::SingleSelection);
    KeyList->verticalHeader()->hide();
    KeyList->verticalHeader()->setDefaultSectionSize(18);
    KeyList->horizontalHeader()->setStretchLastSection(true);
    KeyList->setColumnWidth(NoteColumn, 56);
    KeyList->setColumnWidth(GroupColumn, 76);
    // Wide enough for the longest wave names: "C201 C-Hand Clap 2".
    KeyList->setFixedWidth(330);
    connect(KeyList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    SelectKey(FirstKey + current.row());
            });
    lower->addWidget(KeyList);

    Panel = new TKeyPanel(central);
    connect(Panel, &TKeyPanel::Edited, this, &TFormRhythm::KeyEdited);
    lower->addWidget(Panel);
    rows->addLayout(lower);
}

void TFormRhythm::BuildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("RhythmFile"));
    QAction *open = file->addAction(QStringLiteral("Open Rhythm Set..."));
    open->setObjectName(QStringLiteral("ActionOpenRhythm"));
    QAction *save = file->addAction(QStringLiteral("Save Rhythm Set..."));
    save->setObjectName(QStringLiteral("ActionSaveRhythm"));
    const QString filter = QStringLiteral("System exclusive files (*.syx);;All files (*)");
    connect(open, &QAction::triggered, this, [this, filter] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Rhythm Set"),
                                                          QString(), filter);
        if (!path.isEmpty())
            OpenFrom(path);
    });
    connect(save, &QAction::triggered, this, [this, filter] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Rhythm Set"),
                                                          QString(), filter);
        if (!path.isEmpty())
            SaveTo(path);
    });
    connect(findChild<QPushButton *>(QStringLiteral("BtnOpenRhythm")), &QPushButton::clicked, open,
            &QAction::trigger);
    connect(findChild<QPushButton *>(QStringLiteral("BtnSaveRhythm")), &QPushButton::clicked, save,
            &QAction::trigger);

    QMenu *edit = menuBar()->addMenu(QStringLiteral("Edit"));
    edit->setObjectName(QStringLiteral("RhythmEdit"));
    QAction *copy = edit->addAction(QStringLiteral("Copy Key"));
    copy->setObjectName(QStringLiteral("ActionCopyKey"));
    // A text box takes its own Ctrl+C and Ctrl+V first: the name is copied as text there.
    copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    connect(copy, &QAction::triggered, this, &TFormRhythm::CopyKey);
    QAction *paste = edit->addAction(QStringLiteral("Paste Key"));
    paste->setObjectName(QStringLiteral("ActionPasteKey"));
    paste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    connect(paste, &QAction::triggered, this, &TFormRhythm::PasteKey);
}

void TFormRhythm::SetUndo(TUndoCoordinator &undo)
{
    UndoStack = &undo.RhythmStack();
    undo.FollowWindow(*this, *UndoStack);
}

midi::IMidiOut &TFormRhythm::Output() const
{
    return Outputs.Device(Current.MidiOutIndex);
}

void TFormRhythm::Open()
{
    show();
    raise();
    activateWindow();
    Read();
}

std::vector<TAnswerWait::TBlock> TFormRhythm::Blocks(const std::vector<int> &blocks) const
{
    std::vector<TAnswerWait::TBlock> expected;
    for (int block : blocks)
        expected.push_back({BlockAddress(block), BlockSize(block)});
    return expected;
}

void TFormRhythm::Read()
{
    session::TRequestProcedure::Instance().Run(
        this, QStringLiteral("Reading the rhythm set..."), [this] {
            Reading = true;
            const auto read = qScopeGuard([this] { Reading = false; });
            Current = Target ? Target() : TRhythmTarget {};
            const auto device = static_cast<std::uint8_t>(sysex::DeviceByte(DeviceId()));
            TRhythmSetCollector collector;
            {
                const session::TSysExAttachment attached(
                    midi::MidiIn(), [&](std::int32_t, std::span<const std::uint8_t> bytes) {
                        Answers.Note(bytes);
                        collector.Take(bytes);
                    });
                std::vector<int> all(BlockCount);
                std::iota(all.begin(), all.end(), 0);
                Answers.Expect(Blocks(all), device);
                Output().SendSysEx(RhythmSetRequest(DeviceId()));
                Answers.Run(Output(), SpanningWaitMs);
                // How the instrument answers a request spanning several keys is not known: what
                // it left out is asked for block by block.
                const std::vector<int> missing = collector.MissingBlocks();
                if (!missing.empty()) {
                    Answers.Expect(Blocks(missing), device);
                    for (int block : missing)
                        Output().SendSysEx(BlockRequest(DeviceId(), block));
                    Answers.Run(Output(), BlockWaitMs);
                }
            }
            TRhythmData data;
            for (int block = 0; block < BlockCount; ++block)
                data.Known[static_cast<std::size_t>(block)] = collector.Complete(block);
            if (const std::optional<TName> name = collector.Name())
                data.Set.Name = *name;
            for (int note = FirstKey; note <= LastKey; ++note)
                if (const std::optional<TKeyBlock> key = collector.Key(note))
                    data.KeyBytes(note) = *key;
            Known = data;
            // What was undone against an earlier reading would now be sent over newer values.
            if (UndoStack)
                UndoStack->clear();
            ShowAll();
            const std::vector<int> missing = collector.MissingBlocks();
            if (!missing.empty()) {
                QStringList names;
                for (int block : missing)
                    names << (block == NameBlock ? QStringLiteral("the name")
                                                 : KeyLabel(KeyOfBlock(block)));
                throw std::runtime_error(
                    QStringLiteral(
                        "The instrument did not send all of the rhythm set; not read: %1")
                        .arg(names.join(QStringLiteral(", ")))
                        .toStdString());
            }
        });
}

void TFormRhythm::ShowAll()
{
    {
        const QSignalBlocker quiet(EditName);
        EditName->setText(Known.Known[NameBlock] ? Text(NameText(Known.Set.Name)) : QString());
        EditName->setEnabled(Known.Known[NameBlock]);
    }
    for (int note = FirstKey; note <= LastKey; ++note)
        ShowKeyRow(note);
    SelectKey(Selected);
}

void TFormRhythm::ShowKeyRow(int note)
{
    const std::optional<TKeyBlock> key = Known.Key(note);
    const int at = note - FirstKey;
    QString wave = QStringLiteral("(not read)");
    if (key) {
        const TKeyWave of = WaveOfKey(*key);
        wave = QStringLiteral("%1 %2").arg(Text(WaveCode(of.GroupByte, of.Number)),
                                           Text(WaveName(of.GroupByte, of.Number)));
        // The list shows the instrument's soft hyphens as the hyphens they stand for.
        wave.replace(QChar(0x00AD), QChar(0x2011));
    }
    KeyRows->item(at, WaveColumn)->setText(wave);
    std::bitset<KeyCount> dimmed;
    for (int n = FirstKey; n <= LastKey; ++n) {
        const std::optional<TKeyBlock> each = Known.Key(n);
        dimmed[static_cast<std::size_t>(n - FirstKey)] = !each || (*each)[SwitchOffset] == 0;
    }
    Keyboard->SetDimmed(dimmed);
}

void TFormRhythm::SelectKey(int note)
{
    if (!IsKey(note))
        return;
    Selected = note;
    Keyboard->SetSelected(note);
    {
        const QSignalBlocker quiet(KeyList->selectionModel());
        KeyList->selectionModel()->setCurrentIndex(KeyRows->index(note - FirstKey, 0),
                                                   QItemSelectionModel::ClearAndSelect
                                                       | QItemSelectionModel::Rows);
    }
    KeyList->scrollTo(KeyRows->index(note - FirstKey, 0));
    Panel->Show(Known.Key(note));
}

void TFormRhythm::Play(int note, bool on)
{
    session::RunHandler([&] {
        if (on)
            Output().SendShort(NoteOnChannel10, static_cast<std::uint8_t>(note), PlayVelocity);
        else
            Output().SendShort(NoteOffChannel10, static_cast<std::uint8_t>(note), 0);
    });
}

void TFormRhythm::Push(const QString &text, const TRhythmData &before, int drag)
{
    if (UndoStack)
        UndoStack->push(new TRhythmStep(text, before, Known, drag,
                                        [this](const TRhythmData &data) { Apply(data); }));
}

void TFormRhythm::KeyEdited(int row)
{
    session::RunHandler([&] {
        const int note = Selected;
        if (!Known.KnowsKey(note))
            return;
        const TRhythmData before = Known;
        TKeyBlock &key = Known.KeyBytes(note);
        Panel->Write(row, key);
        const TKeyParam &param = KeyTable[static_cast<std::size_t>(row)];
        // A separator row of the wave list is no wave.
        if (param.Kind == TKeyKind::WaveList) {
            const TKeyWave wave = WaveOfKey(key);
            if (WaveName(wave.GroupByte, wave.Number) == sysex::WaveSeparatorText) {
                Known = before;
                Panel->Show(Known.Key(note));
                return;
            }
        }
        if (key == before.Key(note))
            return;
        // The step comes first: the controls show the new value even when its send fails, and
        // undo sends the old one. The moves of one held bar make one step.
        Push(StepText(param.Caption, note), before, Panel->Drag());
        ShowKeyRow(note);
        SendRow(Output(), DeviceId(), note, row, key);
    });
}

void TFormRhythm::NameEdited()
{
    session::RunHandler([&] {
        if (!Known.Known[NameBlock])
            return;
        const std::string text = EditName->text().toStdString();
        // As NameMessage sends it: padded with spaces, a character out of range a space.
        TName name {};
        name.fill(' ');
        for (std::size_t i = 0; i < name.size() && i < text.size(); ++i) {
            const auto c = static_cast<std::uint8_t>(text[i]);
            name[i] = c >= NameFirstChar && c <= NameLastChar ? c : ' ';
        }
        if (name == Known.Set.Name)
            return;
        const TRhythmData before = Known;
        Known.Set.Name = name;
        Push(QStringLiteral("Rhythm Set Name"), before);
        Output().SendSysEx(NameMessage(DeviceId(), text));
    });
}

void TFormRhythm::CopyKey()
{
    if (const std::optional<TKeyBlock> key = Known.Key(Selected))
        Copied = key;
}

void TFormRhythm::PasteKey()
{
    session::RunHandler([&] {
        const int note = Selected;
        if (!Copied || !Known.KnowsKey(note))
            return;
        const TRhythmData before = Known;
        const TKeyBlock target = Known.KeyBytes(note);
        Known.KeyBytes(note) = PastedKey(*Copied, target);
        if (Known.KeyBytes(note) == target)
            return;
        Push(StepText("Paste", note), before);
        ShowKeyRow(note);
        Panel->Show(Known.Key(note));
        SendIf(Output(), PasteKeyMessage(DeviceId(), note, *Copied, target));
    });
}

void TFormRhythm::Apply(const TRhythmData &data)
{
    const TRhythmData from = std::exchange(Known, data);
    ShowAll();
    SendDifferences(from, data);
}

void TFormRhythm::SendDifferences(const TRhythmData &from, const TRhythmData &to)
{
    if (to.Known[NameBlock] && to.Set.Name != from.Set.Name)
        Output().SendSysEx(NameMessage(DeviceId(), NameText(to.Set.Name)));
    for (int note = FirstKey; note <= LastKey; ++note) {
        const std::optional<TKeyBlock> key = to.Key(note);
        if (!key || key == from.Key(note))
            continue;
        // A change of one row goes as that row's own data sets; anything more as the whole key.
        int row = -1;
        bool oneRow = from.KnowsKey(note);
        for (int offset = 0; oneRow && offset < KeyBlockSize; ++offset) {
            if ((*key)[offset] == from.Set.Keys[static_cast<std::size_t>(note - FirstKey)][offset])
                continue;
            const int of = KeyByteAt(offset).Row;
            oneRow = of >= 0 && (row < 0 || of == row);
            row = of;
        }
        if (oneRow && row >= 0)
            SendRow(Output(), DeviceId(), note, row, *key);
        else
            SendIf(Output(), PasteKeyMessage(DeviceId(), note, *key, *key));
    }
}

bool TFormRhythm::SaveTo(const QString &path)
{
    if ((~Known.Known).any()) {
        session::ReportError("The rhythm set was not read whole: it cannot be saved.");
        return false;
    }
    const std::vector<std::uint8_t> bytes = RhythmSetFile(Known.Set, DeviceId());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size()))
            != qint64(bytes.size())
        || !file.commit()) {
        session::ReportError(QStringLiteral("The rhythm set could not be saved to \"%1\": %2")
                                 .arg(path, file.errorString())
                                 .toStdString());
        return false;
    }
    return true;
}

bool TFormRhythm::OpenFrom(const QString &path)
{
    QFile file(path);
    const auto fail = [&path](const QString &why) {
        session::ReportError(
            QStringLiteral("The file \"%1\" holds no rhythm set: %2").arg(path, why).toStdString());
        return false;
    };
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    if (file.size() > FileLimit)
        return fail(QStringLiteral("it is larger than 8 MiB"));
    const QByteArray content = file.readAll();
    const TRhythmFileRead read = ReadRhythmSetFile(std::span(
        reinterpret_cast<const std::uint8_t *>(content.constData()), std::size_t(content.size())));
    if (read.Error || !read.Set)
        return fail(read.Error ? QStringLiteral("%1 (at byte %2)")
                                     .arg(Text(read.Error->Why))
                                     .arg(read.Error->Offset)
                               : QStringLiteral("it is not whole"));
    const TRhythmSet set = *read.Set;
    const QString name = QFileInfo(path).fileName();
    session::TRequestProcedure::Instance().Run(
        this, QStringLiteral("Sending the rhythm set..."), [this, set, name] {
            const std::vector<midi::TByteStream> messages = RhythmSetMessages(set, DeviceId());
            QProgressDialog progress(QStringLiteral("Sending %1...").arg(name), QString(), 0,
                                     int(messages.size()), this);
            progress.setObjectName(QStringLiteral("RhythmProgress"));
            progress.setWindowModality(Qt::WindowModal);
            progress.setMinimumDuration(0);
            const TRhythmData before = Known;
            Known.Set = set;
            Known.Known.set();
            ShowAll();
            Push(QStringLiteral("Open %1").arg(name), before);
            for (std::size_t i = 0; i < messages.size(); ++i) {
                Output().SendSysEx(messages[i]);
                session::WaitPumpingAfterLeaving(Output(), 0);
                progress.setValue(int(i + 1));
            }
        });
    return true;
}
