#pragma once

// A step of the rhythm set's history: the set as it was before a change and after it. Undoing
// and redoing hand the set to the window, which sends only what differs from what the
// instrument holds. The moves of one held bar make one step.

#include "RhythmData.h"

#include <QUndoCommand>

#include <functional>

class TRhythmStep : public QUndoCommand
{
public:
    // drag: nonzero for the changes of one held bar, which merge; apply sets and sends a set.
    TRhythmStep(const QString &text, TRhythmData before, TRhythmData after, int drag,
                std::function<void(const TRhythmData &)> apply);
    int id() const override { return Drag != 0 ? 1 : -1; }
    bool mergeWith(const QUndoCommand *other) override;
    void undo() override;
    void redo() override;

private:
    TRhythmData Before;
    TRhythmData After;
    int Drag;
    std::function<void(const TRhythmData &)> Apply;
    // The change was made before the step was pushed: the push does not make it again.
    bool Made = true;
};
