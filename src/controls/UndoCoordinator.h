#pragma once

// The program's undo histories, shared by its windows: one stack for each of the seven parts,
// one for the mixer window and one for the rhythm set window, in one group whose active stack
// follows the selected part and the window in front; and the Edit menu's Undo and Redo, named after
// the step they would take and enabled only while no request procedure waits for its answers. The
// windows are handed it; neither reaches into the other for it.

#include <QObject>
#include <QPointer>

#include <array>
#include <vector>

class QAction;
class QMenu;
class QUndoGroup;
class QUndoStack;
class QWidget;

class TUndoCoordinator : public QObject
{
    Q_OBJECT
public:
    static constexpr int PartCount = 7;
    // Steps each stack keeps; the oldest go first.
    static constexpr int UndoLimit = 200;

    explicit TUndoCoordinator(QObject *parent = nullptr);
    ~TUndoCoordinator() override;

    QUndoGroup &Group() const { return *Steps; }
    // part 0..6.
    QUndoStack &PartStack(int part) const { return *PartStacks[static_cast<std::size_t>(part)]; }
    QUndoStack &MixerStack() const { return *Mixer; }
    QUndoStack &RhythmStack() const { return *Rhythm; }

    // The Edit menu with Undo and Redo, for the window that shows the menu bar; made once.
    QMenu *EditMenu(QWidget *parent);
    // The selected part's stack is the active one while no other window is in front.
    void SelectPart(int part);
    // While window is shown and in front, its stack is the active one, and the Edit menu's
    // shortcuts work there too.
    void FollowWindow(QWidget &window, QUndoStack &stack);
    // True while a step is being undone or redone.
    bool Undoing() const { return Running; }

private:
    void FollowFront(QUndoStack *front);
    void RefreshEditActions();
    void RunUndo(bool redo);

    QUndoGroup *Steps = nullptr;
    std::array<QUndoStack *, PartCount> PartStacks {};
    QUndoStack *Mixer = nullptr;
    QUndoStack *Rhythm = nullptr;
    // Made with the menu, and gone with it.
    QPointer<QAction> UndoAction;
    QPointer<QAction> RedoAction;
    // The windows whose shortcuts take the actions, once they are made.
    std::vector<QPointer<QWidget>> Followers;
    int SelectedPart = 0;
    bool Running = false;
};
