#include "UndoSteps.h"

#include <utility>

TUndoStep::TUndoStep(const QString &text, std::function<void()> undo, std::function<void()> redo)
    : Undo(std::move(undo))
    , Redo(std::move(redo))
{
    setText(text);
}

void TUndoStep::undo()
{
    Undo();
}

void TUndoStep::redo()
{
    if (std::exchange(Made, false))
        return;
    Redo();
}

TControlStep::TControlStep(const QString &text, const void *control, int before, int after,
                           int drag, std::function<void(int value)> set)
    : Control(control)
    , Before(before)
    , After(after)
    , Drag(drag)
    , Set(std::move(set))
{
    setText(text);
}

bool TControlStep::mergeWith(const QUndoCommand *other)
{
    const auto *next = dynamic_cast<const TControlStep *>(other);
    if (!next || next->Control != Control || next->Drag != Drag)
        return false;
    After = next->After;
    return true;
}

void TControlStep::undo()
{
    Set(Before);
}

void TControlStep::redo()
{
    if (std::exchange(Made, false))
        return;
    Set(After);
}
