#include "DelayTimeText.h"

#include "sysex/MixerMessages.h"

#include <QLocale>

#include <array>

namespace {
QString Tenths(int tenths, const QString &decimalPoint)
{
    return QString::number(tenths / 10) + decimalPoint + QString::number(tenths % 10);
}
} // namespace

QString DelayTimeText(int type, int position, const QString &decimalPoint)
{
    if (position < 0 || position > sysex::mixer::DelayTimeMaximum)
        return {};
    if (type == 0) {
        if (position <= 19)
            return Tenths(position + 1, decimalPoint);
        if (position <= 35)
            return Tenths(20 + (position - 19) * 5, decimalPoint);
        if (position <= 75)
            return QString::number(position - 25);
        return QString::number(55 + 5 * (position - 76));
    }
    if (position <= 60)
        return QString::number(200 + 5 * position);
    if (position <= 110)
        return QString::number(10 * position - 100);
    // Note values: the delay follows the pattern's tempo.
    static const std::array<const char *, 10> Notes {"!=",  "!-3", "!=.", "!-", "!3",
                                                     "!-.", "!",   "o3",  "!.", "o"};
    return QString::fromLatin1(Notes[static_cast<std::size_t>(position - 111)]);
}

QString DelayTimeText(int type, int position)
{
    return DelayTimeText(type, position, QLocale().decimalPoint());
}
