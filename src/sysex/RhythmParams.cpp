#include "RhythmParams.h"

#include "WaveList.h"

#include <algorithm>
#include <cstdio>

namespace sysex::rhythm {

namespace {

std::string Signed(int value)
{
    return value > 0 ? "+" + std::to_string(value) : std::to_string(value);
}

std::string Plain(TShown shown, int byte, int bias, std::span<const char *const> items)
{
    switch (shown) {
    case TShown::Number:
        return std::to_string(byte - bias);
    case TShown::Signed:
        return Signed(byte - bias);
    case TShown::Items:
        if (byte >= 0 && byte < static_cast<int>(items.size()))
            return items[static_cast<std::size_t>(byte)];
        return std::to_string(byte);
    case TShown::Pan: {
        const int pan = byte - 64;
        return pan < 0 ? "L" + std::to_string(-pan)
                       : (pan > 0 ? "R" + std::to_string(pan) : std::string("0"));
    }
    case TShown::VelocitySens:
        return Signed(byte * 2 - 100);
    case TShown::VelocityTime:
        if (byte >= 0 && byte < static_cast<int>(KeyText::VelocityTimes.size()))
            return Signed(KeyText::VelocityTimes[static_cast<std::size_t>(byte)]);
        return std::to_string(byte);
    case TShown::RandomPitch:
        if (byte <= 10)
            return std::to_string(byte);
        return std::to_string(byte < 20 ? (byte - 9) * 10 : (byte - 18) * 100);
    case TShown::MuteGroup:
        return byte == 0 ? std::string("OFF") : std::to_string(byte);
    case TShown::BendRange:
        return "\u00B1" + std::to_string(byte);
    case TShown::Wave:
        return std::to_string(byte);
    }
    return std::to_string(byte);
}

} // namespace

std::string ShownText(TShown shown, int byte, int bias, std::span<const char *const> items,
                      const char *unit)
{
    std::string text = Plain(shown, byte, bias, items);
    if (unit)
        text += std::string(" ") + unit;
    return text;
}

std::string KeyValueText(const TKeyParam &param, int byte)
{
    return ShownText(param.Shown, byte, param.Bias, param.Items, param.Unit);
}

std::string ObjectName(const TKeyParam &param)
{
    return std::string(param.Stem) + ObjectNameSuffix;
}

std::string KeyByteName(int offset)
{
    const TKeyByte what = KeyByteAt(offset);
    if (what.Row < 0)
        return "offset " + std::to_string(offset);
    const TKeyParam &param = KeyTable[what.Row];
    if (param.Kind == TKeyKind::WaveList && offset != param.Offset)
        return offset == WaveNumberHighOffset ? "Wave number high" : "Wave number low";
    if (what.Point == 0)
        return param.Caption;
    return std::string(param.Caption) + (what.Point <= 4 ? " T" : " L")
        + std::to_string((what.Point - 1) % 4 + 1);
}

std::string WaveCode(int groupByte, int number)
{
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03d", std::clamp(number + 1, 0, 999));
    const char letter = groupByte >= WaveGroupMin && groupByte <= WaveGroupMax
        ? static_cast<char>('A' + groupByte - WaveGroupMin)
        : '?';
    return letter + std::string(digits);
}

std::string WaveName(int groupByte, int number)
{
    if (groupByte < WaveGroupMin || groupByte > WaveGroupMax || number < 0
        || number >= WavesInGroup[static_cast<std::size_t>(groupByte - WaveGroupMin)])
        return WaveSeparatorText;
    return WaveRowText(WaveRowFromBytes(groupByte, number / 16, number % 16));
}

std::string NoteName(int note)
{
    static constexpr std::array<const char *, 12> Names {"C",  "C#", "D",  "D#", "E",  "F",
                                                         "F#", "G",  "G#", "A",  "A#", "B"};
    const int octave = (note < 0 ? note - 11 : note) / 12 - 1;
    return Names[static_cast<std::size_t>(((note % 12) + 12) % 12)] + std::to_string(octave);
}

std::optional<TRhythmGroup> RhythmGroupOf(int note)
{
    struct TRange
    {
        int First;
        int Last;
        TRhythmGroup Group;
    };
    using enum TRhythmGroup;
    // The keys of each group, as the instrument's rhythm groups gather them; a lone key is a
    // range of one.
    static constexpr TRange Ranges[] = {
        {35, 36, BD},      {47, 48, BD},      {95, 96, BD},      {38, 38, SD},
        {40, 40, SD},      {50, 50, SD},      {52, 52, SD},      {97, 98, SD},
        {39, 39, CLP},     {51, 51, CLP},     {94, 94, CLP},     {42, 42, HH},
        {44, 44, HH},      {46, 46, HH},      {54, 54, HH},      {56, 56, HH},
        {58, 58, HH},      {61, 61, CYM},     {63, 65, CYM},     {67, 67, CYM},
        {69, 69, CYM},     {71, 71, CYM},     {37, 37, TomPerc}, {41, 41, TomPerc},
        {43, 43, TomPerc}, {45, 45, TomPerc}, {49, 49, TomPerc}, {53, 53, TomPerc},
        {55, 55, TomPerc}, {57, 57, TomPerc}, {59, 60, TomPerc}, {62, 62, TomPerc},
        {66, 66, TomPerc}, {68, 68, TomPerc}, {70, 70, TomPerc}, {72, 82, TomPerc},
        {83, 88, HIT},     {89, 93, OTHERS},
    };
    for (const TRange &range : Ranges)
        if (note >= range.First && note <= range.Last)
            return range.Group;
    return std::nullopt;
}

} // namespace sysex::rhythm
