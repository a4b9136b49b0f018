#include "UndoCoordinator.h"

#include "session/ErrorPolicy.h"
#include "session/RequestProcedure.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QScopedValueRollback>
#include <QUndoGroup>
#include <QUndoStack>
#include <functional>
#include <utility>

namespace {

// Tells whether a window is in front as it is shown, hidden, raised or left.
class TWindowWatch : public QObject
{
public:
    TWindowWatch(QWidget &window, std::function<void(bool inFront)> changed)
        : QObject(&window)
        , Window(window)
        , Changed(std::move(changed))
    {
        setObjectName(QStringLiteral("UndoWindowWatch"));
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != &Window)
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
            Changed(Window.isVisible() && Window.isModal());
            break;
        default:
            break;
        }
        return false;
    }

private:
    QWidget &Window;
    std::function<void(bool)> Changed;
};

} // namespace

TUndoCoordinator::TUndoCoordinator(QObject *parent)
    : QObject(parent)
    , Steps(new QUndoGroup(this))
{
    // A bounded history: an afternoon's arrow clicks would otherwise all stay in memory.
    for (QUndoStack *&stack : PartStacks) {
        stack = new QUndoStack(Steps);
        stack->setUndoLimit(UndoLimit);
    }
    Mixer = new QUndoStack(Steps);
    Mixer->setUndoLimit(UndoLimit);
    Rhythm = new QUndoStack(Steps);
    Rhythm->setUndoLimit(UndoLimit);
    for (const auto changed : {&QUndoGroup::undoTextChanged, &QUndoGroup::redoTextChanged})
        connect(Steps, changed, this, [this] { RefreshEditActions(); });
    for (const auto changed : {&QUndoGroup::canUndoChanged, &QUndoGroup::canRedoChanged})
        connect(Steps, changed, this, [this] { RefreshEditActions(); });
    connect(Steps, &QUndoGroup::activeStackChanged, this, [this] { RefreshEditActions(); });
    // A step waits for the answers of its part request: no other step meanwhile.
    connect(&session::TRequestProcedure::Instance(), &session::TRequestProcedure::RunningChanged,
            this, [this] { RefreshEditActions(); });
    FollowFront(nullptr);
}

TUndoCoordinator::~TUndoCoordinator()
{
    // The group and its stacks go after this object's own part: what they signal as they go
    // reaches no one.
    Steps->disconnect(this);
}

QMenu *TUndoCoordinator::EditMenu(QWidget *parent)
{
    auto *edit = new QMenu(QStringLiteral("Edit"), parent);
    edit->setObjectName(QStringLiteral("Edition"));
    UndoAction = edit->addAction(QStringLiteral("Undo"));
    UndoAction->setObjectName(QStringLiteral("Undo"));
    UndoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    connect(UndoAction, &QAction::triggered, this, [this] { RunUndo(false); });
    RedoAction = edit->addAction(QStringLiteral("Redo"));
    RedoAction->setObjectName(QStringLiteral("Redo"));
    RedoAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(RedoAction, &QAction::triggered, this, [this] { RunUndo(true); });
    for (const QPointer<QWidget> &window : Followers)
        if (window)
            window->addActions({UndoAction, RedoAction});
    RefreshEditActions();
    return edit;
}

void TUndoCoordinator::SelectPart(int part)
{
    if (part < 0 || part >= PartCount)
        return;
    SelectedPart = part;
    FollowFront(nullptr);
}

void TUndoCoordinator::FollowWindow(QWidget &window, QUndoStack &stack)
{
    // Once for each window, whoever asks.
    if (window.findChild<QObject *>(QStringLiteral("UndoWindowWatch"), Qt::FindDirectChildrenOnly))
        return;
    // The window may outlive the histories.
    new TWindowWatch(window, [self = QPointer(this), &stack](bool inFront) {
        if (self)
            self->FollowFront(inFront ? &stack : nullptr);
    });
    Followers.emplace_back(&window);
    if (UndoAction)
        window.addActions({UndoAction, RedoAction});
}

void TUndoCoordinator::FollowFront(QUndoStack *front)
{
    Steps->setActiveStack(front ? front : PartStacks[static_cast<std::size_t>(SelectedPart)]);
}

void TUndoCoordinator::RefreshEditActions()
{
    if (!UndoAction || !RedoAction)
        return;
    const bool free = !session::TRequestProcedure::Instance().Running() && !Running;
    const QString undo = Steps->undoText();
    const QString redo = Steps->redoText();
    UndoAction->setText(undo.isEmpty() ? QStringLiteral("Undo") : QStringLiteral("Undo ") + undo);
    RedoAction->setText(redo.isEmpty() ? QStringLiteral("Redo") : QStringLiteral("Redo ") + redo);
    UndoAction->setEnabled(free && Steps->canUndo());
    RedoAction->setEnabled(free && Steps->canRedo());
}

void TUndoCoordinator::RunUndo(bool redo)
{
    // A step that waits for its part's answers lets the event loop run: a second press then
    // would undo inside the first.
    if (Running || session::TRequestProcedure::Instance().Running())
        return;
    {
        const QScopedValueRollback undoing(Running, true);
        RefreshEditActions();
        session::RunBurstHandler([&] { redo ? Steps->redo() : Steps->undo(); });
    }
    RefreshEditActions();
}
