#pragma once

// What the pattern mixer says to the instrument and reads back, without a window: the four
// control-change groups, the messages of the transposition, MFX, reverb, delay and switch
// controls, the opening requests and the decoding of a received message into the values it
// carries. Where the bytes lie is the mixer table's (MixerParams.h).

#include "MixerParams.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sysex::mixer {

std::uint8_t ControlChangeStatus(int channel);
// The part whose pattern block has this third address byte.
std::optional<int> PartOfBlockByte(std::uint8_t blockByte);

// The four groups of a bar and a box per part, sent as control changes.
enum class TSendGroup { Level, Pan, ReverbSend, DelaySend };
inline constexpr std::array<TSendGroup, 4> SendGroups {
    TSendGroup::Level, TSendGroup::Pan, TSendGroup::ReverbSend, TSendGroup::DelaySend};

struct TSendGroupInfo
{
    TFieldId Field; // its bars are the field's control, its boxes Edit<name after "Bar">k
    const char *Title;
    const char *Hint;
    int Minimum;
    int Maximum;
    int Start;
};
const TSendGroupInfo &SendGroupInfo(TSendGroup group);
// The controller value for a bar position, kept within 0..127.
std::uint8_t ControlChangeValue(TSendGroup group, int position);

// Transposition bars: position -48 (top) is +48 semitones.
inline constexpr int TransposeMinimum = -48;
inline constexpr int TransposeMaximum = 48;
std::string TransposeMessage(const std::string &model3AHeader, int part, int position);
std::string MfxPartMessage(const std::string &model3AHeader, int part, bool on);

inline constexpr int DelayTimeMaximum = Field(TFieldId::DelayTime).StoredMax;
inline constexpr int FeedbackMaximum = Field(TFieldId::DelayFeedback).StoredMax;

// One of the instrument's effect switches (a field sent as a switch).
std::string SwitchMessage(const std::string &dataSetHeader, TFieldId which, bool on);

// The fields of a group (TSending::ReverbGroup or DelayGroup), in table order.
std::vector<TFieldId> GroupFields(TSending group);
// The group's messages for its fields' values, given in table order; a value outside 0..7F (a
// list without a selection has -1) is left out.
std::vector<std::string> GroupMessages(const std::string &dataSetHeader, TSending group,
                                       std::span<const int> values);

struct TRequest
{
    std::string Text;
    int WaitMs;
};
// The three requests of an opening, in order, with the wait after each.
std::array<TRequest, 3> OpeningRequests(const std::string &dataRequestHeader);

struct TPartBlock
{
    int Part; // index into Parts
    TValues Values; // of the part fields, as received, before any control clamps them
};
// Every test a message passes; a test whose bytes the message does not hold is not passed.
struct TDecodedMessage
{
    std::optional<TValues> Switches;
    std::optional<TValues> Common;
    std::optional<TPartBlock> PartBlock;
};
TDecodedMessage DecodeMessage(std::span<const std::uint8_t> message);

} // namespace sysex::mixer
