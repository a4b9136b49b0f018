#pragma once

// Helpers for driving the windows in tests.

#include "MessageText.h"
#include "controls/DropDownList.h"

#include <QObject>
#include <QString>
#include <QtGlobal>

// What the toolkit does when the user picks a row: the row changes, then the pick is reported.
inline void UserPick(TDropDownList *list, int row)
{
    list->setCurrentIndex(row);
    emit list->activated(row);
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
