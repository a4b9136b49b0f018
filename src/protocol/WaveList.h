#pragma once

// The 746 rows of the wave list: three banks of 255 rows each (the last bank shorter), so that
// the row alone gives the wave group and number. Unused rows are separators.

#include <QString>
#include <string>

namespace editor {

inline constexpr const char *WaveSeparatorText = "___________";

// The row's text as the instrument names it: the bank letter, a soft hyphen (U+00AD) and the
// name, whose hyphens are soft hyphens too; a separator row is eleven underscores. UTF-8.
std::string WaveRowText(int row);

// The row as shown: the toolkit draws a soft hyphen as nothing, so it becomes a non-breaking
// hyphen (U+2011), which looks like "-".
QString WaveRowDisplayText(int row);

} // namespace editor
