#pragma once

// The steps of the undo stacks. A step is pushed once its change has been made and sent: the
// push does not make it again. Undoing and redoing run what the user's own change runs, so the
// instrument gets exactly what the control's handler sends for the value set back.

#include <QUndoCommand>
#include <functional>

// A step with its two directions given as functions.
class TUndoStep : public QUndoCommand
{
public:
    TUndoStep(const QString &text, std::function<void()> undo, std::function<void()> redo);
    void undo() override;
    void redo() override;

private:
    std::function<void()> Undo;
    std::function<void()> Redo;
    bool Made = true;
};

// One control set from one value to another. Consecutive changes of the same control made while
// one press holds its bar (the same nonzero drag number) are one step; a key or arrow step, drag
// 0, is a step of its own.
class TControlStep : public QUndoCommand
{
public:
    TControlStep(const QString &text, const void *control, int before, int after, int drag,
                 std::function<void(int value)> set);
    int id() const override { return Drag != 0 ? 1 : -1; }
    bool mergeWith(const QUndoCommand *other) override;
    void undo() override;
    void redo() override;

private:
    const void *Control;
    int Before;
    int After;
    int Drag;
    std::function<void(int)> Set;
    bool Made = true;
};
