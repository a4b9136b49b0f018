#include "EditBox.h"

TEditBox::TEditBox(QWidget *parent)
    : QLineEdit(parent)
{
    // The toolkit reports a keystroke's edit just before the text change it causes.
    connect(this, &QLineEdit::textEdited, this, [this] { Typing = true; });
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (Typing) {
            Typing = false;
            Pending = true;
            return;
        }
        Pending = false;
        emit Change();
    });
    connect(this, &QLineEdit::editingFinished, this, &TEditBox::FinishEdit);
}

void TEditBox::FinishEdit()
{
    if (!Pending)
        return;
    Pending = false;
    emit Change();
}
