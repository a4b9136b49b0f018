#include "RhythmStep.h"

#include <utility>

TRhythmStep::TRhythmStep(const QString &text, TRhythmData before, TRhythmData after, int drag,
                         std::function<void(const TRhythmData &)> apply)
    : QUndoCommand(text)
    , Before(std::move(before))
    , After(std::move(after))
    , Drag(drag)
    , Apply(std::move(apply))
{ }

bool TRhythmStep::mergeWith(const QUndoCommand *other)
{
    const auto *step = static_cast<const TRhythmStep *>(other);
    if (step->Drag != Drag || step->text() != text())
        return false;
    After = step->After;
    return true;
}

void TRhythmStep::undo()
{
    Apply(Before);
}

void TRhythmStep::redo()
{
    if (std::exchange(Made, false))
        return;
    Apply(After);
}
