#pragma once

// A one-line edit box whose change handler runs at once when the program sets its text, and
// once the user has finished typing (Enter, or the focus leaves the box). Running it on every
// keystroke would send every intermediate number and make some values impossible to type.

#include <QLineEdit>

#include <utility>

class TEditBox : public QLineEdit
{
    Q_OBJECT
public:
    explicit TEditBox(QWidget *parent = nullptr);

    // Applies a typed text that has not taken effect yet (a dialog's OK does this first).
    void FinishEdit();
    bool HasPendingEdit() const { return Pending; }
    // For a caller that applies the typed text itself: the edit counts as finished, without a
    // change event. Returns whether a typed text was pending.
    bool TakePendingEdit() { return std::exchange(Pending, false); }

signals:
    // The box's change event.
    void Change();

private:
    bool Typing = false;
    bool Pending = false;
};
