#include "WaveDisplayText.h"

#include "sysex/WaveList.h"

QString WaveRowDisplayText(int row)
{
    return QString::fromStdString(sysex::WaveRowText(row)).replace(QChar(0x00AD), QChar(0x2011));
}
