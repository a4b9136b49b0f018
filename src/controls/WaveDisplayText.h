#pragma once

#include <QString>

// The wave list's row as shown: the toolkit draws a soft hyphen as nothing, so the soft hyphens
// of the instrument's names become non-breaking hyphens (U+2011), which look like "-".
QString WaveRowDisplayText(int row);
