// Undo and redo in the main window: the Edit menu, a stack per part and one for the mixer
// window, and the steps the main window's own controls make.

#include "EnvelopeImage.h"
#include "Ombrix.h"
#include "ToneColumn.h"
#include "controls/DropDownList.h"
#include "controls/RadioGroup.h"
#include "controls/UndoSteps.h"
#include "session/ErrorPolicy.h"
#include "session/RequestProcedure.h"
#include "sysex/RolandMessage.h"
#include "sysex/ToneParams.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QMenuBar>
#include <QScopedValueRollback>
#include <QUndoGroup>
#include <QUndoStack>
#include <functional>
#include <optional>
#include <utility>

namespace {

// Tells which window is in front as the mixer window is shown, hidden, raised or left.
class TWindowWatch : public QObject
{
public:
    TWindowWatch(QWidget *window, std::function<void(bool inFront)> changed)
        : QObject(window)
        , Window(window)
        , Changed(std::move(changed))
    {
        setObjectName(QStringLiteral("UndoWindowWatch"));
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != Window)
            return false;
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::WindowActivate:
            Changed(true);
            break;
        case QEvent::Hide:
            Changed(false);
            break;
        case QEvent::WindowDeactivate:
            // A modal window stays in front while a message box it raised has the focus.
            Changed(Window->isVisible() && Window->isModal());
            break;
        default:
            break;
        }
        return false;
    }

private:
    QWidget *Window;
    std::function<void(bool)> Changed;
};

constexpr int NoValue = sysex::NoSelection;

} // namespace

void TOmbrix::BuildEditMenu()
{
    UndoSteps = new QUndoGroup(this);
    // A bounded history: an afternoon's arrow clicks would otherwise all stay in memory.
    for (QUndoStack *&stack : PartStacks) {
        stack = new QUndoStack(UndoSteps);
        stack->setUndoLimit(UndoLimit);
    }
    MixerStack = new QUndoStack(UndoSteps);
    MixerStack->setUndoLimit(UndoLimit);

    // Edit comes before View, as in every desktop program; File and Pattern keep their places.
    auto *edit = new QMenu(QStringLiteral("Edit"), menuBar());
    edit->setObjectName(QStringLiteral("Edition"));
    const auto *view = menuBar()->findChild<QMenu *>(QStringLiteral("Affichage"));
    menuBar()->insertMenu(view ? view->menuAction() : nullptr, edit);
    UndoAction = edit->addAction(QStringLiteral("Undo"));
    UndoAction->setObjectName(QStringLiteral("Undo"));
    UndoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    connect(UndoAction, &QAction::triggered, this, [this] { RunUndo(false); });
    RedoAction = edit->addAction(QStringLiteral("Redo"));
    RedoAction->setObjectName(QStringLiteral("Redo"));
    RedoAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(RedoAction, &QAction::triggered, this, [this] { RunUndo(true); });

    connect(UndoSteps, &QUndoGroup::undoTextChanged, this, [this] { RefreshEditActions(); });
    connect(UndoSteps, &QUndoGroup::redoTextChanged, this, [this] { RefreshEditActions(); });
    connect(UndoSteps, &QUndoGroup::canUndoChanged, this, [this] { RefreshEditActions(); });
    connect(UndoSteps, &QUndoGroup::canRedoChanged, this, [this] { RefreshEditActions(); });
    connect(UndoSteps, &QUndoGroup::activeStackChanged, this, [this] { RefreshEditActions(); });
    // A step waits for the answers of its part request: no other step meanwhile.
    connect(&session::TRequestProcedure::Instance(), &session::TRequestProcedure::RunningChanged,
            this, [this] { RefreshEditActions(); });
    connect(RadioGroupSelectPart, &TRadioGroup::Click, this, [this] { FollowActiveStack(false); });
    connect(this, &TOmbrix::PatchFileOpened, this,
            [this](int part, std::vector<std::vector<std::uint8_t>> before,
                   std::vector<std::vector<std::uint8_t>> after) {
                if (part < 0 || part >= static_cast<int>(PartStacks.size()))
                    return;
                PartStacks[static_cast<std::size_t>(part)]->push(new TUndoStep(
                    QStringLiteral("Open Patch"),
                    [this, part, before = std::move(before)] {
                        session::RunHandler([&] { SendPatchMessages(part, before); });
                    },
                    [this, part, after = std::move(after)] {
                        session::RunHandler([&] { SendPatchMessages(part, after); });
                    }));
            });
    connect(this, &TOmbrix::PatchSelectionSent, this,
            [this](int part, std::optional<sysex::patch::TPatchSelection> before,
                   sysex::patch::TPatchSelection after) {
                // A selection an undo or redo sends is that step's own. Taken when it is sent,
                // the step is the history's of the part it went to, from what that part played,
                // whatever part is clicked while the pick waits. A part whose patch is not known
                // cannot be given it back.
                if (Undoing || part < 0 || part >= static_cast<int>(PartStacks.size()) || !before
                    || before->Group == NoValue || before->Patch == NoValue
                    || (before->Group == after.Group && before->Patch == after.Patch))
                    return;
                PartStacks[static_cast<std::size_t>(part)]->push(new TUndoStep(
                    QStringLiteral("Patch Part %1").arg(part + 1),
                    [this, before = *before] {
                        session::RunHandler([&] { SetPatchBack(before.Group, before.Patch); });
                    },
                    [this, after] {
                        session::RunHandler([&] { SetPatchBack(after.Group, after.Patch); });
                    }));
            });
    ConnectToneSteps();
    WatchMixerWindow();
    FollowActiveStack(false);
}

void TOmbrix::ConnectToneSteps()
{
    // A step is the history's of the part its message went to. While a part request runs, that
    // is the part requested, which the history in use follows only once the request has ended.
    const auto messagePartStack
        = [this] { return PartStacks[static_cast<std::size_t>(MessagePart)]; };
    for (TToneColumn *column : Columns) {
        connect(column, &TToneColumn::UserStep, this,
                [messagePartStack, column](int row, int before, int after, int drag) {
                    messagePartStack()->push(new TControlStep(
                        column->StepName(row), column->ControlOf(row), before, after, drag,
                        [column, row](int value) { column->Restore(row, value); }));
                });
        for (int row = 0; row < sysex::ToneControlCount; ++row) {
            auto *image = qobject_cast<TEnvelopeImage *>(column->ControlOf(row));
            if (!image)
                continue;
            connect(image, &TEnvelopeImage::Dragged, this,
                    [messagePartStack, image, name = column->StepName(row)](
                        const TEnvelopeValues &before, const TEnvelopeValues &after) {
                        messagePartStack()->push(new TUndoStep(
                            name, [image, before] { image->Restore(before); },
                            [image, after] { image->Restore(after); }));
                    });
        }
    }
}

void TOmbrix::WatchMixerWindow()
{
    // Made once both exist, whichever comes last.
    if (!FormMixer || !UndoSteps
        || FormMixer->findChild<QObject *>(QStringLiteral("UndoWindowWatch"),
                                           Qt::FindDirectChildrenOnly))
        return;
    new TWindowWatch(FormMixer, [this](bool inFront) { FollowActiveStack(inFront); });
    FormMixer->addAction(UndoAction);
    FormMixer->addAction(RedoAction);
}

void TOmbrix::FollowActiveStack(bool mixerInFront)
{
    const int part = RadioGroupSelectPart->ItemIndex();
    if (mixerInFront)
        UndoSteps->setActiveStack(MixerStack);
    else if (part >= 0 && part < static_cast<int>(PartStacks.size()))
        UndoSteps->setActiveStack(PartStacks[static_cast<std::size_t>(part)]);
}

void TOmbrix::RefreshEditActions()
{
    const bool free = !session::TRequestProcedure::Instance().Running() && !Undoing;
    const QString undo = UndoSteps->undoText();
    const QString redo = UndoSteps->redoText();
    UndoAction->setText(undo.isEmpty() ? QStringLiteral("Undo") : QStringLiteral("Undo ") + undo);
    RedoAction->setText(redo.isEmpty() ? QStringLiteral("Redo") : QStringLiteral("Redo ") + redo);
    UndoAction->setEnabled(free && UndoSteps->canUndo());
    RedoAction->setEnabled(free && UndoSteps->canRedo());
}

void TOmbrix::RunUndo(bool redo)
{
    // A step that waits for its part's answers lets the event loop run: a second press then
    // would undo inside the first.
    if (Undoing || session::TRequestProcedure::Instance().Running())
        return;
    {
        const QScopedValueRollback undoing(Undoing, true);
        RefreshEditActions();
        session::RunBurstHandler([&] { redo ? UndoSteps->redo() : UndoSteps->undo(); });
    }
    RefreshEditActions();
}

void TOmbrix::SetPatchBack(int group, int patch)
{
    // A part that played no patch of a group cannot be given that back: nothing to send.
    if (group == NoValue || patch == NoValue)
        return;
    LBPatchGroup->SetItemIndex(group);
    FillPatchList(group);
    LBPatch->SetItemIndex(patch);
    LBPatchChange();
}

void TOmbrix::SendPatchMessages(int part, const std::vector<std::vector<std::uint8_t>> &messages)
{
    midi::IMidiOut &out = Outputs.Device(MidiOutIndex);
    for (const std::vector<std::uint8_t> &message : messages) {
        const std::optional<sysex::TRolandMessage> dataSet = sysex::ReadRolandMessage(message);
        if (!dataSet || !dataSet->IsDataSet() || !dataSet->Address())
            continue;
        const sysex::TAddress was = *dataSet->Address();
        const sysex::TAddress address {was[0], static_cast<std::uint8_t>(part), was[2], was[3]};
        for (const midi::TByteStream &packet :
             sysex::DataSetPackets(DeviceId, address, dataSet->AfterAddress()))
            out.SendSysEx(packet);
    }
    RadioGroupSelectPartClick();
}
