#pragma once

// The pattern's multi-effect in one table: its 25 types in the instrument's order, and for each
// the parameters it uses with their names, stored ranges and the way the instrument shows their
// values. The type sits at 01 00 00 0D and parameter p (1..12) at 0D + p; the same thirteen
// bytes also sit at 30 00 20 02, a copy the instrument keeps equal and the program never
// writes. The MFX messages, their decoding, the monitor's meanings, the MFX files and the
// instrument's range check all walk these rows.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sysex::mfx {

inline constexpr int TypeCount = 25;
inline constexpr int ParamCount = 12;
// The type and the twelve parameter bytes, in address order.
inline constexpr int ValueCount = 1 + ParamCount;

inline constexpr std::array<std::uint8_t, 4> TypeAddress {0x01, 0x00, 0x00, 0x0D};
inline constexpr std::array<std::uint8_t, 4> SetupTypeAddress {0x30, 0x00, 0x20, 0x02};

// How a stored byte is shown.
enum class TShow {
    Number, // (byte + Add) x Step, with a sign when Signed, then Unit
    Items, // the byte-th item
    Frequency, // 200 Hz .. 8000 Hz, then BYPASS
    Rate, // 0.1 Hz .. 10.0 Hz, then the tempo's note values and measures
    PreDelay, // 0.0 ms .. 100 ms in four step sizes
    Balance, // D100:0W .. D0:100W
    Pan, // L64 .. 0 .. R63
    ShortDelay, // 0.1 ms .. 190 ms in four step sizes
    StepRate, // 0.05 Hz .. 10.0 Hz, then note values up to 1/2
    Manual, // 100 Hz .. 8000 Hz in three step sizes
    AutoPanRate, // OFF, then the tempo's note values and measures
};

struct TMfxParam
{
    const char *Name;
    int Max; // stored values are 0..Max
    TShow Show;
    int Add = 0;
    int Step = 1;
    bool Signed = false;
    const char *Unit = "";
    std::span<const char *const> Items = {};
};

// The map leaves these open; each is the one place its choice is made.
// Pre-delay byte 0: the map's text reads "0.02", between the 0 of the scale and its first step.
inline constexpr const char *PreDelayTextAtZero = "0.0 ms";
// Phase: the map's display text runs ten times the 0..180 degrees the effect can turn.
inline constexpr int PhaseDegreesPerStep = 2;
// LO-FI's sample rates carry no unit in the map; the values are those of kilohertz rates.
inline constexpr std::array<const char *, 4> LoFiSampleRateItems {"32 kHz", "16 kHz", "8 kHz",
                                                                  "4 kHz"};

inline constexpr std::array<const char *, 18> NoteValues {
    "1/16", "1/12", "3/32", "1/8", "1/6",     "3/16",    "1/4",     "1/3",     "3/8",
    "1/2",  "2/3",  "3/4",  "1/1", "2 meas.", "3 meas.", "4 meas.", "8 meas.", "16 meas."};
// clang-format off
inline constexpr std::array<const char *, 18> NoiseTypeItems {
    "RND", "PINK", "LP+RND", "PINK+LP+RND", "EP+RND", "PINK+EP+RND",
    "HUM50", "HUM50+PINK", "HUM50+LP+RND", "HUM50+PINK+LP+RND", "HUM50+EP+RND", "HUM50+PINK+EP+RND",
    "HUM60", "HUM60+PINK", "HUM60+LP+RND", "HUM60+PINK+LP+RND", "HUM60+EP+RND", "HUM60+PINK+EP+RND"};
// clang-format on
inline constexpr std::array<const char *, 4> PostGainItems {"0 dB", "+6 dB", "+12 dB", "+18 dB"};
inline constexpr std::array<const char *, 2> LowFrequencyItems {"200 Hz", "400 Hz"};
inline constexpr std::array<const char *, 2> HighFrequencyItems {"4000 Hz", "8000 Hz"};
inline constexpr std::array<const char *, 5> QItems {"0.5", "1.0", "2.0", "4.0", "8.0"};
inline constexpr std::array<const char *, 4> AmpTypeItems {"SMALL", "BUILTIN", "2STACK", "3STACK"};
inline constexpr std::array<const char *, 2> OutputItems {"MONO", "STEREO"};
inline constexpr std::array<const char *, 3> DiscTypeItems {"LP", "EP", "SP"};
inline constexpr std::array<const char *, 4> RatioItems {"1.5:1", "2:1", "4:1", "100:1"};
inline constexpr std::array<const char *, 3> SlicerRateItems {"1/4", "1/2", "1/1"};
inline constexpr std::array<const char *, 6> LfoTypeItems {"TRI",  "TRP",  "SIN",
                                                           "SAW1", "SAW2", "SQR"};
inline constexpr std::array<const char *, 3> FilterTypeItems {"OFF", "LPF", "HPF"};
inline constexpr std::array<const char *, 3> BassSensItems {"OFF", "MODE1", "MODE2"};
inline constexpr std::array<const char *, 6> ReverbTypeItems {"ROOM1",  "ROOM2", "STAGE1",
                                                              "STAGE2", "HALL1", "HALL2"};
inline constexpr std::array<const char *, 4> GateTypeItems {"NORMAL", "REVERSE", "SWEEP1",
                                                            "SWEEP2"};

namespace row {
constexpr TMfxParam Level(const char *name)
{
    return {name, 127, TShow::Number};
}
constexpr TMfxParam Plain(const char *name, int max)
{
    return {name, max, TShow::Number};
}
constexpr TMfxParam Counted(const char *name, int max) // shown from 1
{
    return {name, max, TShow::Number, 1};
}
constexpr TMfxParam Gain(const char *name)
{
    return {name, 30, TShow::Number, -15, 1, true, " dB"};
}
constexpr TMfxParam List(const char *name, std::span<const char *const> items)
{
    return {name, static_cast<int>(items.size()) - 1, TShow::Items, 0, 1, false, "", items};
}
constexpr TMfxParam Shown(const char *name, int max, TShow show)
{
    return {name, max, show};
}
inline constexpr TMfxParam OutputLevel = Level("Output Level");
inline constexpr TMfxParam OutputPan = Shown("Output Pan", 127, TShow::Pan);
inline constexpr TMfxParam LowGain = Gain("Low Gain");
inline constexpr TMfxParam HighGain = Gain("High Gain");
inline constexpr TMfxParam Balance = Shown("Effect Balance", 100, TShow::Balance);
inline constexpr TMfxParam PreDelay = Shown("Pre Delay Time", 125, TShow::PreDelay);
inline constexpr TMfxParam Rate = Shown("Rate", 117, TShow::Rate);
inline constexpr TMfxParam Depth = Level("Depth");
inline constexpr TMfxParam Phase
    = {"Phase", 90, TShow::Number, 0, PhaseDegreesPerStep, false, " deg"};
inline constexpr TMfxParam Feedback = {"Feedback Level", 98, TShow::Number, 0, 1, true, " %"};
inline constexpr TMfxParam CutoffFrequency = Shown("Cutoff Frequency", 16, TShow::Frequency);
inline constexpr TMfxParam HfDamp = Shown("HF Damp", 17, TShow::Frequency);
inline constexpr TMfxParam PostGain = List("Post Gain", PostGainItems);
inline constexpr TMfxParam LfoType = List("LFO Type", LfoTypeItems);
inline constexpr TMfxParam FilterType = List("Filter Type", FilterTypeItems);
} // namespace row

// clang-format off
inline constexpr std::array FourBandEq {
    row::List("Low Frequency", LowFrequencyItems), row::Gain("Low Gain"),
    row::List("High Frequency", HighFrequencyItems), row::Gain("High Gain"),
    row::Shown("Peaking 1 Frequency", 16, TShow::Frequency), row::List("Peaking 1 Q", QItems),
    row::Gain("Peaking 1 Gain"), row::Shown("Peaking 2 Frequency", 16, TShow::Frequency),
    row::List("Peaking 2 Q", QItems), row::Gain("Peaking 2 Gain"), row::OutputLevel};
inline constexpr std::array Spectrum {
    row::Gain("Low-High Gain"), row::Gain("Middle Gain"), row::Counted("Band Width", 4),
    row::OutputPan, row::OutputLevel};
inline constexpr std::array Enhancer {
    row::Level("Sens"), row::Level("Mix Level"), row::LowGain, row::HighGain, row::OutputLevel};
inline constexpr std::array Drive {
    row::Level("Input Level"), row::Level("Drive"), row::List("Amp Type", AmpTypeItems),
    row::OutputPan, row::OutputLevel};
inline constexpr std::array LoFi {
    row::Plain("Bit Down", 7), row::List("Sample Rate", LoFiSampleRateItems), row::PostGain,
    row::LowGain, row::HighGain, row::List("Output", OutputItems), row::OutputLevel};
inline constexpr std::array Noise {
    row::List("Noise Type", NoiseTypeItems), row::Level("Noise Level"),
    row::Shown("Noise Filter", 17, TShow::Frequency), row::Level("Lo-Fi Level"), row::OutputPan,
    row::OutputLevel};
inline constexpr std::array RadioTuning {
    row::Level("Radio Detune"), row::Level("Noise Level"), row::LowGain, row::HighGain,
    row::List("Output", OutputItems), row::OutputLevel};
inline constexpr std::array Phonograph {
    row::List("Disc Type", DiscTypeItems), row::Level("Disc Noise Level"),
    TMfxParam {"Depth", 20, TShow::Number, 0, 1, true}, row::OutputPan, row::OutputLevel};
inline constexpr std::array Compressor {
    row::Level("Attack"), row::Level("Sustain"), row::PostGain, row::LowGain, row::HighGain,
    row::OutputLevel};
inline constexpr std::array Limiter {
    row::Level("Threshold Level"), row::List("Compression Ratio", RatioItems),
    row::Level("Release"), row::PostGain, row::OutputPan, row::OutputLevel};
inline constexpr std::array Slicer {
    row::Counted("Timing Pattern", 33), row::List("Rate", SlicerRateItems),
    row::Counted("Accent Pattern", 15), row::Level("Accent Level"), row::Counted("Attack", 9),
    row::OutputLevel};
inline constexpr std::array Tremolo {
    row::LfoType, row::Rate, row::Depth, row::LowGain, row::HighGain, row::OutputLevel};
inline constexpr std::array Phaser {
    row::Shown("Manual", 125, TShow::Manual), row::Rate, row::Depth, row::Level("Resonance"),
    row::Level("Mix Level"), row::OutputPan, row::OutputLevel};
inline constexpr std::array Chorus {
    row::PreDelay, row::Rate, row::Depth, row::Phase, row::FilterType, row::CutoffFrequency,
    row::Balance, row::OutputLevel};
inline constexpr std::array SpaceD {
    row::PreDelay, row::Rate, row::Depth, row::Phase, row::LowGain, row::HighGain, row::Balance,
    row::OutputLevel};
inline constexpr std::array TetraChorus {
    row::PreDelay, row::Rate, row::Depth, row::Plain("Pre Delay Deviation", 20),
    TMfxParam {"Depth Deviation", 40, TShow::Number, -20, 1, true},
    row::Plain("Pan Deviation", 20), row::Balance, row::OutputLevel};
inline constexpr std::array Flanger {
    row::PreDelay, row::Rate, row::Depth, row::Feedback, row::Phase, row::FilterType,
    row::CutoffFrequency, row::Balance, row::OutputLevel};
inline constexpr std::array StepFlanger {
    row::PreDelay, row::Rate, row::Depth, row::Feedback, row::Phase,
    row::Shown("Step Rate", 125, TShow::StepRate), row::Balance, row::OutputLevel};
inline constexpr std::array ShortDelay {
    row::Shown("Delay Time Left", 103, TShow::ShortDelay),
    row::Shown("Delay Time Right", 103, TShow::ShortDelay), row::HfDamp, row::Feedback,
    row::Shown("Auto Pan", 18, TShow::AutoPanRate), row::LowGain, row::HighGain, row::Balance,
    row::OutputLevel};
inline constexpr std::array AutoPan {
    row::LfoType, row::Rate, row::List("Bass Sens", BassSensItems), row::Depth, row::LowGain,
    row::HighGain, row::OutputLevel};
inline constexpr std::array PitchShifter {
    TMfxParam {"Coarse Pitch", 36, TShow::Number, -24, 1, true},
    TMfxParam {"Fine Pitch", 100, TShow::Number, -50, 2, true, " cent"}, row::OutputPan,
    row::PreDelay, row::Counted("Pitch Shifter Mode", 4), row::Feedback, row::LowGain,
    row::HighGain, row::Balance, row::OutputLevel};
inline constexpr std::array Reverb {
    row::List("Reverb Type", ReverbTypeItems), row::Level("Reverb Time"), row::HfDamp,
    row::Balance, row::OutputLevel};
inline constexpr std::array GateReverb {
    row::List("Gate Type", GateTypeItems), TMfxParam {"Gate Time", 65, TShow::Number, 1, 5, false,
    " ms"}, row::Balance, row::OutputLevel};
inline constexpr std::array Isolator {
    row::Level("Low Gain"), row::Level("Mid Gain"), row::Level("High Gain"), row::OutputPan,
    row::OutputLevel};
// clang-format on

struct TMfxType
{
    const char *Name;
    std::span<const TMfxParam> Params; // p1, p2, ... as far as the type uses them
};

inline constexpr std::array<TMfxType, TypeCount> Types {{
    {"4BAND EQ", FourBandEq},
    {"SPECTRUM", Spectrum},
    {"ENHANCER", Enhancer},
    {"OVERDRIVE", Drive},
    {"DISTORTION", Drive},
    {"LO-FI", LoFi},
    {"NOISE", Noise},
    {"RADIO TUNING", RadioTuning},
    {"PHONOGRAPH", Phonograph},
    {"COMPRESSOR", Compressor},
    {"LIMITER", Limiter},
    {"SLICER", Slicer},
    {"TREMOLO", Tremolo},
    {"PHASER", Phaser},
    {"CHORUS", Chorus},
    {"SPACE-D", SpaceD},
    {"TETRA CHORUS", TetraChorus},
    {"FLANGER", Flanger},
    {"STEP FLANGER", StepFlanger},
    {"SHORT DELAY", ShortDelay},
    {"AUTO PAN", AutoPan},
    {"FB PITCH SHIFTER", PitchShifter},
    {"REVERB", Reverb},
    {"GATE REVERB", GateReverb},
    {"ISOLATOR", Isolator},
}};

inline constexpr std::array<const char *, TypeCount> TypeNames = [] {
    std::array<const char *, TypeCount> names {};
    for (std::size_t i = 0; i < names.size(); ++i)
        names[i] = Types[i].Name;
    return names;
}();
// The type byte, as a parameter of its own: value 0 of the thirteen.
inline constexpr TMfxParam TypeParam = row::List("Type", TypeNames);

// The row of value v (0 the type, 1..12 the parameters) under type; none for a parameter the
// type does not use, or a type or value that does not exist. Its byte is then never sent.
constexpr const TMfxParam *ParamOf(int type, int v)
{
    if (v == 0)
        return &TypeParam;
    if (type < 0 || type >= TypeCount || v < 1)
        return nullptr;
    const std::span<const TMfxParam> params = Types[static_cast<std::size_t>(type)].Params;
    return v <= static_cast<int>(params.size()) ? &params[static_cast<std::size_t>(v - 1)]
                                                : nullptr;
}

struct TRangeCheck
{
    bool InRange;
    int Nearest; // the byte itself when in range, else the nearer end of the range
};
constexpr TRangeCheck CheckValue(const TMfxParam &param, int byte)
{
    const int nearest = byte < 0 ? 0 : byte > param.Max ? param.Max : byte;
    return {nearest == byte, nearest};
}

// How the instrument shows a byte; a byte outside the range is shown as its nearest value.
std::string ValueText(const TMfxParam &param, int byte);
// Every value's text, byte 0 first: the items of a list.
std::vector<std::string> ValueTexts(const TMfxParam &param);
// Whether the values are named (a list), rather than a scale (a bar).
bool ShownAsList(const TMfxParam &param);

// The type byte and the twelve parameter bytes, as stored.
using TValues = std::array<int, ValueCount>;

} // namespace sysex::mfx
