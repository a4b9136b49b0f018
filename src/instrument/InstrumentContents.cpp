#include "InstrumentContents.h"

#include <algorithm>

namespace instrument {

namespace {

// A tone parameter that takes any value 0..Max except Start, the value its control shows before
// anything has been received (-1 where every value differs from it, e.g. a list with nothing
// selected). Excluding Start lets a first decode visibly move every control.
struct TToneField
{
    int Offset;
    int Max;
    int Start;
};

constexpr int NoStart = -1;
constexpr int TimeStart = 127; // an envelope shows all times at 127 before a dump
constexpr int LevelStart = 0; // and all levels at 0

constexpr TToneField ToneFields[] = {
    {0x05, 3, NoStart}, // wave gain
    {0x07, 3, NoStart}, // frequency-modulation colour
    {0x08, 15, 0}, // frequency-modulation depth (shown as 1..16)
    {0x3D, 96, 48}, // coarse tune
    {0x3E, 100, 50}, // fine tune
    {0x41, 24, 12}, // pitch envelope depth
    {0x42, 125, NoStart}, // pitch envelope velocity sensitivity
    {0x46, 127, TimeStart}, // pitch envelope T1..T4
    {0x47, 127, TimeStart},  {0x48, 127, TimeStart},  {0x49, 127, TimeStart},
    {0x4A, 127, LevelStart}, // pitch envelope L1..L4
    {0x4B, 127, LevelStart}, {0x4C, 127, LevelStart}, {0x4D, 127, LevelStart},
    {0x50, 4, NoStart}, // filter type
    {0x51, 127, 0}, // cutoff (its bar starts at position 127, byte 0)
    {0x53, 127, 0}, // resonance
    {0x55, 126, 63}, // filter envelope depth
    {0x57, 125, NoStart}, // filter envelope velocity sensitivity
    {0x5B, 127, TimeStart}, // filter envelope T1..T4
    {0x5C, 127, TimeStart},  {0x5D, 127, TimeStart},  {0x5E, 127, TimeStart},
    {0x5F, 127, LevelStart}, // filter envelope L1..L4
    {0x60, 127, LevelStart}, {0x61, 127, LevelStart}, {0x62, 127, LevelStart},
    {0x65, 127, 0}, // tone level
    {0x6A, 125, NoStart}, // amplitude envelope velocity sensitivity
    {0x6E, 127, TimeStart}, // amplitude envelope T1..T4
    {0x6F, 127, TimeStart},  {0x70, 127, TimeStart},  {0x71, 127, TimeStart},
    {0x72, 127, LevelStart}, // amplitude envelope L1..L3
    {0x73, 127, LevelStart}, {0x74, 127, LevelStart}, {0x77, 127, 64}, // pan
    {0x7A, 127, 64}, // alternate pan
};

constexpr int PlainFieldCount = static_cast<int>(std::size(ToneFields));
// Field 0 is the wave, a choice among every wave of the three banks; the others follow the table.
constexpr int FieldCount = PlainFieldCount + 1;
constexpr int WaveCount = WavesPerBank[0] + WavesPerBank[1] + WavesPerBank[2];

constexpr int WaveGroupOffset = 0x02;
constexpr int WaveHighOffset = 0x03;
constexpr int WaveLowOffset = 0x04;
constexpr int ToneSwitchOffset = 0x00;
constexpr int FxmSwitchOffset = 0x06;
constexpr int RandomPanOffset = 0x79;
constexpr int RandomPanOn = 63;

int ChoiceCount(int field)
{
    if (field == 0)
        return WaveCount;
    const TToneField &f = ToneFields[field - 1];
    return f.Max + 1 - (f.Start == NoStart ? 0 : 1);
}

// Choices are counted 0..ChoiceCount-1; the value skips the start value.
void WriteChoice(TBytes &tone, int field, int choice)
{
    if (field == 0) {
        int group = 0;
        while (choice >= WavesPerBank[group]) {
            choice -= WavesPerBank[group];
            ++group;
        }
        tone[WaveGroupOffset] = static_cast<std::uint8_t>(group + 1);
        tone[WaveHighOffset] = static_cast<std::uint8_t>(choice / 16);
        tone[WaveLowOffset] = static_cast<std::uint8_t>(choice % 16);
        return;
    }
    const TToneField &f = ToneFields[field - 1];
    const int value = (f.Start != NoStart && choice >= f.Start) ? choice + 1 : choice;
    tone[f.Offset] = static_cast<std::uint8_t>(value);
}

std::uint64_t Mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// A fixed pseudo-random number for one patch, one field and one use within the field.
std::uint64_t Draw(std::uint64_t seed, int field, int use)
{
    return Mix(Mix(seed) ^ (static_cast<std::uint64_t>(field) << 8) ^ static_cast<unsigned>(use));
}

using TChoices = std::array<std::array<int, FieldCount>, ToneCount>;

struct TFlags
{
    std::array<std::uint8_t, ToneCount> ToneSwitch {};
    std::array<std::uint8_t, ToneCount> FxmSwitch {};
    std::array<std::uint8_t, ToneCount> RandomPan {};
};

std::uint64_t PatchSeed(int groupByte, int number)
{
    return static_cast<std::uint64_t>(groupByte) * 4096u + static_cast<std::uint64_t>(number);
}

// The four tones take choices spread over the whole range, each in its own quarter-wide
// window after a common random base, so that no two tones of a patch share a value.
TChoices GenerateChoices(std::uint64_t seed)
{
    TChoices choices {};
    for (int field = 0; field < FieldCount; ++field) {
        const int count = ChoiceCount(field);
        const int stride = count / ToneCount;
        const int base = static_cast<int>(Draw(seed, field, 0) % static_cast<unsigned>(count));
        for (int tone = 0; tone < ToneCount; ++tone) {
            const int jitter
                = stride > 1 ? static_cast<int>(Draw(seed, field, 1 + tone) % unsigned(stride)) : 0;
            choices[tone][field] = (base + tone * stride + jitter) % count;
        }
    }
    return choices;
}

TFlags GenerateFlags(std::uint64_t seed)
{
    TFlags flags;
    for (int tone = 0; tone < ToneCount; ++tone) {
        // Tone 1 always sounds; the others mostly do.
        flags.ToneSwitch[tone] = (tone == 0 || Draw(seed, 200, tone) % 4 != 0) ? 1 : 0;
        flags.FxmSwitch[tone] = Draw(seed, 201, tone) % 2 == 0 ? 1 : 0;
        flags.RandomPan[tone] = Draw(seed, 202, tone) % 4 == 0 ? RandomPanOn : 0;
    }
    return flags;
}

TPatch BuildPatch(const TChoices &choices, const TFlags &flags)
{
    TPatch patch;
    patch.Common.assign(PatchCommonSize, 0);
    for (int tone = 0; tone < ToneCount; ++tone) {
        TBytes &bytes = patch.Tones[tone];
        bytes.assign(ToneBlockSize, 0);
        for (int field = 0; field < FieldCount; ++field)
            WriteChoice(bytes, field, choices[tone][field]);
        bytes[ToneSwitchOffset] = flags.ToneSwitch[tone];
        bytes[FxmSwitchOffset] = flags.FxmSwitch[tone];
        bytes[RandomPanOffset] = flags.RandomPan[tone];
    }
    return patch;
}

struct TSelection
{
    int Group; // 1..9
    int Number;
};

// Parts 1..7, then part R: one selection from each group, so the first start shows a variety.
constexpr std::array<TSelection, PatternPartCount> InitialSelections {{
    {1, 0x05},
    {2, 0x11},
    {3, 0x22},
    {4, 0x33},
    {5, 0x44},
    {6, 0x55},
    {9, 0x14},
    {3, 0x00},
}};

// Mixer values of parts 1..7 and R: none at its control's start value, all different.
constexpr std::array<int, PatternPartCount> InitialLevels {90, 110, 84, 120, 76, 104, 96, 115};
constexpr std::array<int, PatternPartCount> InitialPans {40, 88, 52, 76, 30, 98, 58, 70};
constexpr std::array<int, PatternPartCount> InitialTransposes {36, 55, 43, 60, 51, 41, 53, 45};
constexpr std::array<int, PatternPartCount> InitialReverbSends {40, 25, 60, 15, 80, 35, 50, 20};
constexpr std::array<int, PatternPartCount> InitialDelaySends {20, 45, 10, 30, 55, 5, 35, 12};

bool Contains(const std::vector<int> &values, int value)
{
    return std::find(values.begin(), values.end(), value) != values.end();
}

// The nearest choice after current (cyclically) outside forbidden, or -1.
int FreeChoice(int current, int count, const std::vector<int> &forbidden)
{
    for (int step = 0; step < count; ++step) {
        const int candidate = (current + step) % count;
        if (!Contains(forbidden, candidate))
            return candidate;
    }
    return -1;
}

} // namespace

TPatch GeneratePatch(int groupByte, int number)
{
    const std::uint64_t seed = PatchSeed(groupByte, number);
    return BuildPatch(GenerateChoices(seed), GenerateFlags(seed));
}

TBytes InitialSystemBlock()
{
    TBytes bytes(SystemBlockSize, 0);
    bytes[0x08] = 1; // MFX on
    bytes[0x09] = 1; // delay on
    bytes[0x0A] = 1; // reverb on
    return bytes;
}

TBytes InitialPatternCommon()
{
    TBytes bytes(PatternCommonSize, 0);
    bytes[0x1C] = 30; // MFX to delay send
    bytes[0x1D] = 45; // MFX to reverb send
    bytes[0x22] = 90; // delay level
    bytes[0x23] = 1; // delay type "Long"
    bytes[0x24] = 9; // delay damping "1600"
    bytes[0x25] = 40; // delay time
    bytes[0x26] = 35; // delay feedback
    bytes[0x27] = 1; // delay output "Reverb"
    bytes[0x28] = 4; // reverb type "Hall 1"
    bytes[0x29] = 100; // reverb level
    bytes[0x2A] = 70; // reverb time
    bytes[0x2B] = 12; // reverb damping "4000"
    return bytes;
}

TBytes InitialPatternPart(int index)
{
    TBytes bytes(PatternPartSize, 0);
    if (index < 0 || index >= PatternPartCount)
        return bytes;
    const TSelection selection = InitialSelections[index];
    bytes[PartOffset::Bank] = selection.Group <= 2 ? 0x03 : 0x00;
    bytes[PartOffset::Group] = static_cast<std::uint8_t>(selection.Group);
    bytes[PartOffset::NumberHigh] = static_cast<std::uint8_t>(selection.Number / 16);
    bytes[PartOffset::NumberLow] = static_cast<std::uint8_t>(selection.Number % 16);
    bytes[PartOffset::Level] = static_cast<std::uint8_t>(InitialLevels[index]);
    bytes[PartOffset::Pan] = static_cast<std::uint8_t>(InitialPans[index]);
    bytes[PartOffset::Transpose] = static_cast<std::uint8_t>(InitialTransposes[index]);
    bytes[PartOffset::MfxSwitch] = 1;
    bytes[PartOffset::DelaySend] = static_cast<std::uint8_t>(InitialDelaySends[index]);
    bytes[PartOffset::ReverbSend] = static_cast<std::uint8_t>(InitialReverbSends[index]);
    return bytes;
}

namespace {

std::array<TPatch, PatchPartCount> ComputeInitialPatches()
{
    std::array<TChoices, PatchPartCount> choices;
    for (int part = 0; part < PatchPartCount; ++part)
        choices[part] = GenerateChoices(
            PatchSeed(InitialSelections[part].Group, InitialSelections[part].Number));

    // Move a value only where it meets the same tone's value of an earlier part: first try to
    // differ from every earlier part, else from the part just before; the other tones of the
    // part are always avoided so the tones stay different.
    for (int part = 1; part < PatchPartCount; ++part) {
        for (int field = 0; field < FieldCount; ++field) {
            const int count = ChoiceCount(field);
            for (int tone = 0; tone < ToneCount; ++tone) {
                std::vector<int> otherTones;
                for (int other = 0; other < ToneCount; ++other)
                    if (other != tone)
                        otherTones.push_back(choices[part][other][field]);
                std::vector<int> everyEarlier = otherTones;
                for (int earlier = 0; earlier < part; ++earlier)
                    everyEarlier.push_back(choices[earlier][tone][field]);
                std::vector<int> previous = otherTones;
                previous.push_back(choices[part - 1][tone][field]);

                int &choice = choices[part][tone][field];
                int moved = FreeChoice(choice, count, everyEarlier);
                if (moved < 0)
                    moved = FreeChoice(choice, count, previous);
                if (moved >= 0)
                    choice = moved;
            }
        }
    }

    std::array<TPatch, PatchPartCount> patches;
    for (int part = 0; part < PatchPartCount; ++part) {
        // Switches and random pan start at the values that move their unticked check boxes.
        TFlags flags;
        flags.ToneSwitch.fill(1);
        flags.FxmSwitch.fill(1);
        flags.RandomPan.fill(RandomPanOn);
        patches[part] = BuildPatch(choices[part], flags);
    }
    return patches;
}

} // namespace

std::array<TPatch, PatchPartCount> InitialPatches()
{
    // Every instrument starts alike; the moving of values is done once.
    static const std::array<TPatch, PatchPartCount> patches = ComputeInitialPatches();
    return patches;
}

} // namespace instrument
