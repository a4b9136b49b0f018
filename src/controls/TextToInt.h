#pragma once

#include <string_view>

class QString;

namespace controls {

// The text of a box as an integer, 0 when it is not one: leading blanks, then an optional sign
// and decimal digits, or hex digits after "$", "x", "X", "0x" or "0X". Anything else, including
// trailing characters, a sign before a hex prefix or a value beyond 32 bits, gives 0.
int TextToInt(std::string_view text);
int TextToInt(const QString &text);

// The text as a decimal integer, 0 when it is not one: leading blanks, an optional sign, decimal
// digits within 32 bits, and nothing after them.
int DecimalTextToInt(std::string_view text);
int DecimalTextToInt(const QString &text);

} // namespace controls
