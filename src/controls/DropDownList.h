#pragma once

// A drop-down list (no typed text). Setting its row from the program runs no handler; the
// user's pick of another row does, and a pick of the row already selected is no change.

#include <QComboBox>

class TDropDownList : public QComboBox
{
    Q_OBJECT
public:
    explicit TDropDownList(QWidget *parent = nullptr);

    int ItemIndex() const { return currentIndex(); }
    // A row that does not exist leaves the list without a selection.
    void SetItemIndex(int index) { setCurrentIndex(index >= 0 && index < count() ? index : -1); }

signals:
    // The list's change event: the user picked another row.
    void UserChange(int index);

private:
    // Set by a change of row and cleared once control returns to the event loop, so only a
    // pick that changed the row right before the toolkit reports it counts as a change.
    bool RowJustChanged = false;
};
