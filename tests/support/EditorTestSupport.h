#pragma once

// Helpers for driving the windows in tests.

#include "MessageText.h"
#include "controls/DropDownList.h"

// What the toolkit does when the user picks a row: the row changes, then the pick is reported.
inline void UserPick(TDropDownList *list, int row)
{
    list->setCurrentIndex(row);
    emit list->activated(row);
}
