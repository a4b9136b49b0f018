#pragma once

// The 746 rows of the wave list: three banks of 255 rows each (the last bank shorter), so that
// the row alone gives the wave group and number. Unused rows are separators.

#include <string>

namespace sysex {

inline constexpr const char *WaveSeparatorText = "___________";

// The row's text as the instrument names it: the bank letter, a soft hyphen (U+00AD) and the
// name, whose hyphens are soft hyphens too; a separator row is eleven underscores. UTF-8.
std::string WaveRowText(int row);

} // namespace sysex
