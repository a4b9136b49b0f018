#pragma once

#include <QString>

// The text shown for a delay time position under a delay type (0 "Short"; any other index,
// including -1, the long table). Numbers with a decimal use the given separator; the one-argument
// form takes the user's. A position outside 0..120 has no text.
QString DelayTimeText(int type, int position, const QString &decimalPoint);
QString DelayTimeText(int type, int position);
