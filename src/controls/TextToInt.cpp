#include "TextToInt.h"

#include <QString>
#include <cstdint>

namespace controls {

namespace {
int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

int TextToInt(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    text.remove_prefix(i);
    if (text.empty())
        return 0;

    bool hex = false;
    if (text[0] == '$' || text[0] == 'x' || text[0] == 'X') {
        hex = true;
        text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        hex = true;
        text.remove_prefix(2);
    }
    if (hex) {
        if (text.empty() || text.size() > 8)
            return 0;
        std::uint32_t value = 0;
        for (char c : text) {
            const int digit = HexValue(c);
            if (digit < 0)
                return 0;
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        // Eight hex digits fill 32 bits; the top bit makes the number negative.
        return static_cast<std::int32_t>(value);
    }

    return DecimalTextToInt(text);
}

int DecimalTextToInt(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (text.empty())
        return 0;
    bool negative = false;
    if (text[0] == '-' || text[0] == '+') {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return 0;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
        if (value > std::int64_t {INT32_MAX} + 1)
            return 0;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX || value < INT32_MIN)
        return 0;
    return static_cast<int>(value);
}

namespace {
// Anything beyond Latin-1 cannot be part of a number; the '?' it becomes keeps it from being one.
template<class F>
int ReadLatin1(const QString &text, F read)
{
    const QByteArray bytes = text.toLatin1();
    return read(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}
} // namespace

int TextToInt(const QString &text)
{
    return ReadLatin1(text, [](std::string_view t) { return TextToInt(t); });
}

int DecimalTextToInt(const QString &text)
{
    return ReadLatin1(text, [](std::string_view t) { return DecimalTextToInt(t); });
}

} // namespace controls
