#pragma once

// What the pattern mixer says to the instrument and reads back, without a window: the eight
// parts and their channels, blocks and model-3A bytes, the four control-change groups, the
// messages of the transposition, MFX, reverb, delay and switch controls, the opening requests
// and the decoding of a received message into the values it carries.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sysex::mixer {

inline constexpr int PartCount = 8;

struct TMixerPart
{
    const char *Label; // row label
    int Channel; // MIDI channel 1..16 of its control changes
    std::uint8_t BlockByte; // third address byte of its pattern part block
    std::uint8_t Model3APart; // first byte after the model-3A header
    const char *Tag; // appended to the receive log when its block is decoded
};

// In control suffix order 1..8: part R, then parts 1 to 7.
extern const std::array<TMixerPart, PartCount> Parts;
// Indices into Parts in the order messages go out: parts 1 to 7, then part R.
inline constexpr std::array<int, PartCount> SendOrder {1, 2, 3, 4, 5, 6, 7, 0};

std::uint8_t ControlChangeStatus(int channel);
// The part whose pattern block has this third address byte.
std::optional<int> PartOfBlockByte(std::uint8_t blockByte);

// The four groups of a bar and a box per part, sent as control changes.
enum class TSendGroup { Level, Pan, ReverbSend, DelaySend };
inline constexpr std::array<TSendGroup, 4> SendGroups {
    TSendGroup::Level, TSendGroup::Pan, TSendGroup::ReverbSend, TSendGroup::DelaySend};

struct TSendGroupInfo
{
    const char *Name; // middle of the control names: Bar<Name>k, Edit<Name>k
    const char *Title;
    const char *Hint;
    int Minimum;
    int Maximum;
    int Start;
    std::uint8_t Controller;
    int ValueOffset; // added to a bar position to give the controller value
};
const TSendGroupInfo &SendGroupInfo(TSendGroup group);
// The controller value for a bar position, kept within 0..127.
std::uint8_t ControlChangeValue(TSendGroup group, int position);

// Transposition bars: position -48 (top) is +48 semitones.
inline constexpr int TransposeMinimum = -48;
inline constexpr int TransposeMaximum = 48;
std::string TransposeMessage(const std::string &model3AHeader, int part, int position);
std::string MfxPartMessage(const std::string &model3AHeader, int part, bool on);

// The instrument's effect switches, by their offset in the system area.
enum class TEffectSwitch : std::uint8_t { Mfx = 0x08, Delay = 0x09, Reverb = 0x0A };
std::string SwitchMessage(const std::string &dataSetHeader, TEffectSwitch which, bool on);

// A list without a selection has -1; its message is left out of its group.
struct TReverbSettings
{
    int Type = -1;
    int Level = 0;
    int Time = 0;
    int HfDamp = -1;
    int ToMfx = 0;
};
struct TDelaySettings
{
    int Level = 0;
    int Type = -1;
    int HfDamp = -1;
    int Time = 0;
    int Feedback = 0;
    int Output = -1;
    int ToMfx = 0;
};
std::vector<std::string> ReverbGroupMessages(const std::string &dataSetHeader,
                                             const TReverbSettings &settings);
std::vector<std::string> DelayGroupMessages(const std::string &dataSetHeader,
                                            const TDelaySettings &settings);

struct TRequest
{
    std::string Text;
    int WaitMs;
};
// The three requests of an opening, in order, with the wait after each.
std::array<TRequest, 3> OpeningRequests(const std::string &dataRequestHeader);

inline constexpr int DelayTimeMaximum = 120;
inline constexpr int FeedbackMaximum = 98;

extern const std::array<const char *, 6> ReverbTypeItems;
extern const std::array<const char *, 2> DelayTypeItems;
extern const std::array<const char *, 18> HfDampItems;
extern const std::array<const char *, 3> DelayOutputItems;

// Values as received, before any control clamps them.
struct TPartValues
{
    int Level;
    int Pan; // byte - 64
    int TransposePosition; // 48 - byte
    bool Mfx;
    int DelaySend;
    int ReverbSend;
};
struct TCommonValues
{
    int ReverbType;
    int ReverbLevel;
    int ReverbTime;
    int ReverbHfDamp;
    int ReverbToMfx;
    int DelayType;
    int DelayLevel;
    int DelayTime;
    int DelayHfDamp;
    int DelayOutput;
    int DelayFeedback;
    int DelayToMfx;
};
struct TSwitchValues
{
    bool Mfx;
    bool Delay;
    bool Reverb;
};
struct TPartBlock
{
    int Part; // index into Parts
    TPartValues Values;
};
// Every test a message passes; a test whose bytes the message does not hold is not passed.
struct TDecodedMessage
{
    std::optional<TSwitchValues> Switches;
    std::optional<TCommonValues> Common;
    std::optional<TPartBlock> PartBlock;
};
TDecodedMessage DecodeMessage(std::span<const std::uint8_t> message);

} // namespace sysex::mixer
