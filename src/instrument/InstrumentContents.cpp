#include "InstrumentContents.h"

#include "PatternContents.h"
#include "sysex/ToneParams.h"

#include <algorithm>

namespace instrument {

namespace {

constexpr int NoStart = -1;
constexpr int TimeStart = 127; // an envelope shows all times at 127 before a dump
constexpr int LevelStart = 0; // and all levels at 0

// The bytes of one parameter each, in offset order, as the tone table gives them. The switches,
// random pan and the wave are written apart: they are flags or span several bytes.
constexpr bool HoldsPlainValues(const sysex::TToneControl &control)
{
    switch (control.Kind) {
    case sysex::TControlKind::RadioGroup:
    case sysex::TControlKind::ScrollBar:
    case sysex::TControlKind::TrackBar:
    case sysex::TControlKind::FilterList:
    case sysex::TControlKind::DepthEdit:
    case sysex::TControlKind::EnvelopeImage:
        return true;
    default:
        return false;
    }
}

constexpr int StartByte(const sysex::TToneControl &control)
{
    // A control that is not set from a dump, or shows no value at start, meets every value.
    if (control.DecodeStep == 0 || control.Start == sysex::NoSelection)
        return NoStart;
    return control.Param.ToByte(control.Start);
}

constexpr std::size_t CountToneFields()
{
    std::size_t count = 0;
    for (const sysex::TToneControl &control : sysex::ToneTable)
        if (HoldsPlainValues(control))
            count += control.Kind == sysex::TControlKind::EnvelopeImage
                ? static_cast<std::size_t>(4 + control.Envelope->LevelCount)
                : 1;
    return count;
}

constexpr auto PlainFields = [] {
    std::array<TToneField, CountToneFields()> fields {};
    std::size_t n = 0;
    for (const sysex::TToneControl &control : sysex::ToneTable) {
        if (!HoldsPlainValues(control))
            continue;
        // Told by the kind, not by comparing the pointer: a sanitizer build cannot compare
        // addresses in a constant expression.
        if (control.Kind == sysex::TControlKind::EnvelopeImage) {
            const sysex::TEnvelopeParams *envelope = control.Envelope;
            for (std::uint8_t offset : envelope->TimeOffsets)
                fields[n++] = {offset, control.Param.StoredMax, TimeStart};
            for (int i = 0; i < envelope->LevelCount; ++i)
                fields[n++] = {envelope->LevelOffsets[static_cast<std::size_t>(i)],
                               control.Param.StoredMax, LevelStart};
        } else {
            fields[n++] = {control.Param.Offset, control.Param.StoredMax, StartByte(control)};
        }
    }
    std::sort(fields.begin(), fields.end(),
              [](const TToneField &a, const TToneField &b) { return a.Offset < b.Offset; });
    return fields;
}();

constexpr int PlainFieldCount = static_cast<int>(PlainFields.size());
// Field 0 is the wave, a choice among every wave of the three banks; the others follow the table.
constexpr int FieldCount = PlainFieldCount + 1;
constexpr int WaveCount = WavesPerBank[0] + WavesPerBank[1] + WavesPerBank[2];

constexpr int WaveGroupOffset = sysex::WaveGroupOffset;
constexpr int WaveHighOffset = sysex::WaveNumberOffset;
constexpr int WaveLowOffset = sysex::WaveNumberOffset + 1;
constexpr int ToneSwitchOffset = sysex::ToneParam::Switch.Offset;
constexpr int FxmSwitchOffset = sysex::ToneParam::FxmSwitch.Offset;
constexpr int RandomPanOffset = sysex::ToneParam::RandomPan.Offset;
constexpr int RandomPanOn = sysex::ToneParam::RandomPan.FlagByte;

int ChoiceCount(int field)
{
    if (field == 0)
        return WaveCount;
    const TToneField &f = PlainFields[static_cast<std::size_t>(field - 1)];
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
    const TToneField &f = PlainFields[static_cast<std::size_t>(field - 1)];
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

// Names are built from an invented word, two syllables, and a kind of sound. The first
// syllables all have two letters and the second ones all differ, so that different syllables
// always spell different words.
constexpr std::array<const char *, 16> FirstSyllables {
    "Ka", "Lu", "Mo", "Ne", "Ri", "So", "Ta", "Ve", "Zu", "Bo", "Di", "Fa", "Go", "Hu", "Ji", "Pe"};
constexpr std::array<const char *, 11> SecondSyllables {"ron", "lix", "mar", "ter", "vo", "sen",
                                                        "dra", "lum", "kit", "nal", "bex"};
// One kind for each row of 16 patches, as the instrument's own lists keep like sounds together.
constexpr std::array<const char *, 8> SoundKinds {"Keys", "Bass",  "Pad",   "Lead",
                                                  "Bell", "Pluck", "Brass", "Sweep"};
constexpr unsigned WordCount = FirstSyllables.size() * SecondSyllables.size();
// The patches of one row across the nine groups, 9 × 16, take different words: the multiplier
// has no factor in common with WordCount, so it only shuffles them.
constexpr unsigned WordShuffle = 37;
constexpr unsigned RowShift = 11;
constexpr unsigned PatchesPerRow = 16;

void WriteName(TBytes &common, const std::string &name)
{
    std::copy(name.begin(), name.end(), common.begin());
}

TPatch BuildPatch(const TChoices &choices, const TFlags &flags, const std::string &name)
{
    TPatch patch;
    patch.Common.assign(PatchCommonSize, 0);
    WriteName(patch.Common, name);
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

using sysex::mixer::TFieldId;

// Stored mixer values of parts 1..7 and R: none at its control's start value, all different.
struct TPartStart
{
    TFieldId Field;
    std::array<int, PatternPartCount> Bytes;
};
constexpr std::array<TPartStart, 6> InitialParts {{
    {TFieldId::Level, {90, 110, 84, 120, 76, 104, 96, 115}},
    {TFieldId::Pan, {40, 88, 52, 76, 30, 98, 58, 70}},
    {TFieldId::Transpose, {36, 55, 43, 60, 51, 41, 53, 45}},
    {TFieldId::PartMfx, {1, 1, 1, 1, 1, 1, 1, 1}},
    {TFieldId::ReverbSend, {40, 25, 60, 15, 80, 35, 50, 20}},
    {TFieldId::DelaySend, {20, 45, 10, 30, 55, 5, 35, 12}},
}};

struct TFieldStart
{
    TFieldId Field;
    int Byte;
};
constexpr std::array<TFieldStart, 3> InitialSwitches {{
    {TFieldId::MfxSwitch, 1},
    {TFieldId::DelaySwitch, 1},
    {TFieldId::ReverbSwitch, 1},
}};
constexpr std::array<TFieldStart, 12> InitialCommon {{
    {TFieldId::DelayToMfx, 30},
    {TFieldId::ReverbToMfx, 45},
    {TFieldId::DelayLevel, 90},
    {TFieldId::DelayType, 1}, // "Long"
    {TFieldId::DelayHfDamp, 9}, // "1600"
    {TFieldId::DelayTime, 40},
    {TFieldId::DelayFeedback, 35},
    {TFieldId::DelayOutput, 1}, // "Reverb"
    {TFieldId::ReverbType, 4}, // "Hall 1"
    {TFieldId::ReverbLevel, 100},
    {TFieldId::ReverbTime, 70},
    {TFieldId::ReverbHfDamp, 12}, // "4000"
}};

template<std::size_t N>
TBytes BlockOf(int size, const std::array<TFieldStart, N> &starts)
{
    TBytes bytes(static_cast<std::size_t>(size), 0);
    for (const TFieldStart &start : starts)
        bytes[sysex::mixer::OffsetOf(start.Field)] = static_cast<std::uint8_t>(start.Byte);
    return bytes;
}

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

std::span<const TToneField> ToneFields()
{
    return PlainFields;
}

std::string PatchName(int groupByte, int number)
{
    const auto group = static_cast<unsigned>(groupByte - 1);
    const auto patch = static_cast<unsigned>(number);
    const unsigned row = (patch / PatchesPerRow) % SoundKinds.size();
    const unsigned place = group * PatchesPerRow + patch % PatchesPerRow;
    const unsigned word = (place * WordShuffle + row * RowShift) % WordCount;
    std::string name = std::string(FirstSyllables[word % FirstSyllables.size()])
        + SecondSyllables[word / FirstSyllables.size()] + ' ' + SoundKinds[row];
    name.resize(PatchNameSize, ' ');
    return name;
}

TPatch GeneratePatch(int groupByte, int number)
{
    const std::uint64_t seed = PatchSeed(groupByte, number);
    return BuildPatch(GenerateChoices(seed), GenerateFlags(seed), PatchName(groupByte, number));
}

TBytes InitialSystemBlock()
{
    return BlockOf(SystemBlockSize, InitialSwitches);
}

TBytes InitialPatternCommon()
{
    TBytes common = BlockOf(PatternCommonSize, InitialCommon);
    WriteInitialPatternCommonTail(common);
    return common;
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
    for (const TPartStart &start : InitialParts)
        bytes[sysex::mixer::OffsetOf(start.Field)]
            = static_cast<std::uint8_t>(start.Bytes[static_cast<std::size_t>(index)]);
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
        patches[part]
            = BuildPatch(choices[part], flags,
                         PatchName(InitialSelections[part].Group, InitialSelections[part].Number));
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
