#include "MfxParams.h"

namespace sysex::mfx {

namespace {

constexpr std::array<int, 17> Frequencies {200,  250,  315,  400,  500,  630,  800,  1000, 1250,
                                           1600, 2000, 2500, 3150, 4000, 5000, 6300, 8000};
constexpr const char *Bypass = "BYPASS";
constexpr int RateNotesFrom = 100; // T3: the bytes before it are tenths of a hertz
constexpr int StepRateNotesFrom = 116;

std::string Number(int value)
{
    return std::to_string(value);
}

std::string Signed(int value)
{
    return value > 0 ? "+" + Number(value) : Number(value);
}

// A count of tenths (or hundredths) with its one (or two) decimals.
std::string Decimal(int units, int perOne)
{
    const std::string fraction = Number(units % perOne);
    const std::string padded = perOne == 100 && fraction.size() < 2 ? "0" + fraction : fraction;
    return Number(units / perOne) + "." + padded;
}

std::string PreDelayText(int byte)
{
    if (byte == 0)
        return PreDelayTextAtZero;
    if (byte <= 50)
        return Decimal(byte, 10) + " ms";
    if (byte <= 59)
        return Decimal(55 + (byte - 51) * 5, 10) + " ms";
    if (byte <= 100)
        return Number(byte - 50) + " ms";
    return Number(52 + (byte - 101) * 2) + " ms";
}

std::string ShortDelayText(int byte)
{
    if (byte <= 19)
        return Decimal(byte + 1, 10) + " ms";
    if (byte <= 35)
        return Decimal(25 + (byte - 20) * 5, 10) + " ms";
    if (byte <= 75)
        return Number(byte - 25) + " ms";
    return Number(55 + (byte - 76) * 5) + " ms";
}

std::string StepRateText(int byte)
{
    if (byte <= 78)
        return Decimal((byte + 1) * 5, 100) + " Hz";
    if (byte <= 109)
        return Decimal(40 + byte - 79, 10) + " Hz";
    if (byte < StepRateNotesFrom)
        return Decimal(75 + (byte - 110) * 5, 10) + " Hz";
    return NoteValues[static_cast<std::size_t>(byte - StepRateNotesFrom)];
}

std::string ManualText(int byte)
{
    if (byte <= 20)
        return Number(100 + byte * 10) + " Hz";
    if (byte <= 55)
        return Number(320 + (byte - 21) * 20) + " Hz";
    return Number(1100 + (byte - 56) * 100) + " Hz";
}

} // namespace

std::string ValueText(const TMfxParam &param, int byte)
{
    const int b = CheckValue(param, byte).Nearest;
    switch (param.Show) {
    case TShow::Items:
        return static_cast<std::size_t>(b) < param.Items.size()
            ? param.Items[static_cast<std::size_t>(b)]
            : Number(b);
    case TShow::Frequency:
        return static_cast<std::size_t>(b) < Frequencies.size()
            ? Number(Frequencies[static_cast<std::size_t>(b)]) + " Hz"
            : Bypass;
    case TShow::Rate:
        return b < RateNotesFrom ? Decimal(b + 1, 10) + " Hz"
                                 : NoteValues[static_cast<std::size_t>(b - RateNotesFrom)];
    case TShow::PreDelay:
        return PreDelayText(b);
    case TShow::Balance:
        return "D" + Number(100 - b) + ":" + Number(b) + "W";
    case TShow::Pan:
        return b < 64 ? "L" + Number(64 - b) : b == 64 ? "0" : "R" + Number(b - 64);
    case TShow::ShortDelay:
        return ShortDelayText(b);
    case TShow::StepRate:
        return StepRateText(b);
    case TShow::Manual:
        return ManualText(b);
    case TShow::AutoPanRate:
        return b == 0 ? "OFF" : NoteValues[static_cast<std::size_t>(b - 1)];
    case TShow::Number:
        break;
    }
    const int shown = (b + param.Add) * param.Step;
    return (param.Signed ? Signed(shown) : Number(shown)) + param.Unit;
}

std::vector<std::string> ValueTexts(const TMfxParam &param)
{
    std::vector<std::string> texts;
    for (int byte = 0; byte <= param.Max; ++byte)
        texts.push_back(ValueText(param, byte));
    return texts;
}

bool ShownAsList(const TMfxParam &param)
{
    return param.Show == TShow::Items || param.Show == TShow::Frequency
        || param.Show == TShow::AutoPanRate;
}

} // namespace sysex::mfx
