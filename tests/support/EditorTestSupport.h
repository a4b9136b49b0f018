#pragma once

// Helpers for driving the windows in tests.

#include "MessageText.h"
#include "controls/DropDownList.h"
#include "controls/EditBox.h"
#include "controls/RadioGroup.h"

#include <QAbstractSlider>
#include <QCheckBox>
#include <QObject>
#include <QRadioButton>
#include <QString>
#include <QtGlobal>

// What the toolkit does when the user picks a row: the row changes, then the pick is reported.
inline void UserPick(TDropDownList *list, int row)
{
    list->setCurrentIndex(row);
    emit list->activated(row);
}

// A user's change of any control to another value, as the user makes it: a bar's page step
// (down near its end), a click on a check box, another row or item picked (1, or 2 where 1 is
// already selected), another number finished in a box (12, or 13 where 12 is shown).
inline void Nudge(QWidget *control)
{
    const auto other = [](int index) { return index == 1 ? 2 : 1; };
    if (auto *bar = qobject_cast<QAbstractSlider *>(control))
        bar->triggerAction(bar->value() < bar->maximum() - 10 ? QAbstractSlider::SliderPageStepAdd
                                                              : QAbstractSlider::SliderPageStepSub);
    else if (auto *box = qobject_cast<QCheckBox *>(control))
        box->click();
    else if (auto *list = qobject_cast<TDropDownList *>(control))
        UserPick(list, other(list->ItemIndex()));
    else if (auto *group = qobject_cast<TRadioGroup *>(control))
        group->Item(other(group->ItemIndex()))->click();
    else if (auto *edit = qobject_cast<TEditBox *>(control))
        edit->setText(edit->text() == QLatin1String("12") ? "13" : "12");
    else
        qFatal("%s cannot be nudged", qPrintable(control->objectName()));
}

// The window's control of that name. A missing control ends the run at once: every check after
// it would only report the same fault again, through a null pointer.
template<class T>
T *FindControl(const QObject &window, const QString &name)
{
    T *control = window.findChild<T *>(name);
    if (!control)
        qFatal("no control %s", qPrintable(name));
    return control;
}
