#include "PatternContents.h"

#include "sysex/MixerParams.h"
#include "sysex/PatternMessages.h"

#include <algorithm>
#include <string_view>

namespace instrument {

namespace {

namespace pattern = sysex::pattern;
using sysex::mixer::TFieldId;

constexpr int MfxTypeOffset = sysex::mfx::TypeAddress[3];
constexpr int SetupMfxTypeOffset = sysex::mfx::SetupTypeAddress[3];

// CHORUS, its eight parameters, and four bytes an earlier type left behind, as a real dump has.
constexpr std::array<std::uint8_t, sysex::mfx::ValueCount> InitialMfx {14, 20,  109, 80, 45,  1, 13,
                                                                       50, 127, 64,  0,  100, 10};

// Reserved bytes after the MFX values, at 1A..1B and 1E..21.
constexpr std::array<std::pair<int, std::uint8_t>, 6> CommonReserved {
    {{0x1A, 0x00}, {0x1B, 0x7F}, {0x1E, 0x00}, {0x1F, 0x3F}, {0x20, 0x00}, {0x21, 0x3F}}};
// Voices kept for parts 1..7, then part R: 64 in all.
constexpr std::array<std::uint8_t, 7> PartVoices {10, 8, 8, 6, 6, 4, 4};
constexpr std::uint8_t RhythmVoices = 18;

// A name that leaves room: an initialised pattern pads it with 00h.
constexpr std::string_view InitialName = "Ombrix Groove";
constexpr int InitialTempoHundredths = 12000;
// Beat 4/4, four measures.
constexpr std::array<std::pair<int, std::uint8_t>, 3> InitialMeasure {
    {{0x10, 4}, {0x11, 4}, {0x12, 4}}};
// The unidentified bytes of the header block that a real pattern holds other than 00.
constexpr std::array<std::pair<int, std::uint8_t>, 6> SetupUnidentified {
    {{0x18, 0x0F}, {0x1A, 0x02}, {0x27, 0x02}, {0x28, 0x0F}, {0x32, 0x01}, {0x56, 0x02}}};

// The effects block's unidentified and reserved bytes as a real pattern holds them.
constexpr std::array<std::pair<int, std::uint8_t>, 9> EffectsUnidentified {{{0x00, 0x0C},
                                                                            {0x10, 0x7F},
                                                                            {0x13, 0x7F},
                                                                            {0x14, 0x7F},
                                                                            {0x15, 0x7F},
                                                                            {0x16, 0x7F},
                                                                            {0x17, 0x01},
                                                                            {0x1C, 0x01},
                                                                            {0x23, 0x01}}};
// Where the effects block keeps the mixer's settings of the pattern common block.
constexpr std::array<std::pair<int, TFieldId>, 12> EffectsFromCommon {{
    {0x11, TFieldId::DelayToMfx},
    {0x12, TFieldId::ReverbToMfx},
    {0x18, TFieldId::ReverbType},
    {0x19, TFieldId::ReverbLevel},
    {0x1A, TFieldId::ReverbTime},
    {0x1B, TFieldId::ReverbHfDamp},
    {0x1D, TFieldId::DelayLevel},
    {0x1E, TFieldId::DelayType},
    {0x1F, TFieldId::DelayTime},
    {0x20, TFieldId::DelayHfDamp},
    {0x21, TFieldId::DelayFeedback},
    {0x22, TFieldId::DelayOutput},
}};

template<std::size_t N>
void Put(TBytes &bytes, const std::array<std::pair<int, std::uint8_t>, N> &values)
{
    for (const auto &[offset, value] : values)
        bytes[static_cast<std::size_t>(offset)] = value;
}

} // namespace

void WriteInitialPatternCommonTail(TBytes &common)
{
    std::copy(InitialMfx.begin(), InitialMfx.end(), common.begin() + MfxTypeOffset);
    Put(common, CommonReserved);
    std::copy(PartVoices.begin(), PartVoices.end(), common.begin() + pattern::VoiceReserveOffset);
    common[pattern::RhythmVoiceReserveOffset] = RhythmVoices;
}

TBytes InitialPatternSetup()
{
    TBytes setup(pattern::SetupSize, 0);
    std::copy(InitialName.begin(), InitialName.end(), setup.begin());
    Put(setup, InitialMeasure);
    const auto nibbles = pattern::TempoNibbles(InitialTempoHundredths);
    std::copy(nibbles.begin(), nibbles.end(), setup.begin() + pattern::TempoOffset);
    Put(setup, SetupUnidentified);
    return setup;
}

TBytes InitialPatternEffects(const TBytes &common)
{
    TBytes effects(pattern::EffectsSize, 0);
    Put(effects, EffectsUnidentified);
    std::copy_n(common.begin() + MfxTypeOffset, MfxCopySize, effects.begin() + SetupMfxTypeOffset);
    for (const auto &[offset, field] : EffectsFromCommon)
        effects[static_cast<std::size_t>(offset)] = common[sysex::mixer::OffsetOf(field)];
    return effects;
}

bool MfxWriteInRange(const sysex::mfx::TValues &after,
                     const std::array<bool, sysex::mfx::ValueCount> &written)
{
    for (int v = 0; v < sysex::mfx::ValueCount; ++v) {
        const sysex::mfx::TMfxParam *param = sysex::mfx::ParamOf(after[0], v);
        if (written[static_cast<std::size_t>(v)] && param
            && !sysex::mfx::CheckValue(*param, after[static_cast<std::size_t>(v)]).InRange)
            return false;
    }
    return true;
}

} // namespace instrument
