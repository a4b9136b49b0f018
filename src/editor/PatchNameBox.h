#pragma once

// The patch's own name in the main window: shown as each part answer brings it, which sends
// nothing, and sent to the part's temporary patch once the user has finished typing (Enter, or
// the focus leaves the box). Only what the instrument takes can be typed: 12 characters at most,
// each from 32 to 125. The name belongs to the patch in the part, not to the patch list, whose
// names stay as they are.

#include <QLineEdit>

class TPartSession;

class TPatchNameBox : public QLineEdit
{
    Q_OBJECT
public:
    TPatchNameBox(TPartSession &session, QWidget *parent);

    // Sends name to part (0..6) and, when that part is the one shown, shows it; false when it
    // could not be sent (the error is shown).
    bool SendName(int part, const QString &name);

signals:
    // The user renamed part (0..6)'s patch from before to after, and the name has been sent.
    void NameSent(int part, const QString &before, const QString &after);

private:
    void Show(const QString &name);
    void FinishEdit();

    TPartSession &Session;
    // The name last shown or sent: leaving the box without a change sends nothing.
    QString Known;
};
