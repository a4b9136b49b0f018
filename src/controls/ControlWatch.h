#pragma once

// Turns a user's change of a control into an undo step, for any window: a scroll or track bar,
// a check box, a radio group, a drop-down list or an edit box, each watched after its own
// handlers, so a step is made once its change has been sent. A bar held from press to release
// is one step; a key or arrow step is one of its own. A change made while the window's decoder
// fills the controls, or while a step is being undone or redone, is no step: it only moves the
// value the next step starts from. Undoing sets the control back as the user would, so its own
// handlers send the value again.

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QUndoStack;
class QWidget;

class TControlWatch : public QObject
{
public:
    // stack: where the next step goes; quiet: true while the window's decoder sets controls.
    TControlWatch(QObject *parent, std::function<QUndoStack &()> stack,
                  std::function<bool()> quiet);

    // Watches control from now on, when it is of a kind above; its steps are called stepName in
    // the Edit menu. Called after the control's own handlers are connected, so that it hears
    // each change after them.
    void Watch(QWidget *control, const QString &stepName);

    // The value a control shows: position, ticked (0 or 1, 2 partly ticked), row or item (-1 for
    // none), or the number in a box; 0 for any other widget.
    static int ValueOf(const QWidget *control);

private:
    struct TWatched
    {
        QWidget *Control;
        QString StepName;
        int Known;
    };
    void NoteChange(std::size_t index);
    void NoteAppliedEdits(std::size_t changed);
    void Push(std::size_t index, int before, int after, int drag);
    void Restore(std::size_t index, int value);

    std::function<QUndoStack &()> Stack;
    std::function<bool()> Quiet;
    std::vector<TWatched> Watched;
    bool Restoring = false;
    int DragSerial = 0;
};
