#include "InstrumentPacing.h"

#include "MixerMessages.h"
#include "RolandMessage.h"
#include "ToneParams.h"

#include <algorithm>
#include <array>
#include <optional>

namespace sysex {

namespace {

using midi::TAddressRange;

constexpr std::size_t AddressEnd = HeaderSize + AddressSize;
// F0 41 dd 3A 12, then the part and the function byte.
constexpr std::size_t Model3ASmallest = Model3AHeaderSize + 4;

// The widest value the windows write as one parameter (a wave: group, number high and low); a
// longer data set is block data, a patch file's packet.
constexpr std::uint32_t ParameterBytes = 3;

enum TFamily : std::uint8_t { Memory = 1, Model3A = 2, ControlChanges = 3 };

constexpr std::uint32_t Linear(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
{
    return (std::uint32_t(a) << 21) | (std::uint32_t(b) << 14) | (std::uint32_t(c) << 7) | d;
}

std::uint32_t LinearAt(std::span<const std::uint8_t> message, std::size_t at)
{
    return Linear(message[at], message[at + 1], message[at + 2], message[at + 3]);
}

constexpr mixer::TBlockInfo PartBlocks = mixer::BlockInfo(mixer::TBlock::PatternPart);
constexpr std::uint8_t FirstPartBlock = mixer::FirstPartBlockByte;
constexpr std::uint8_t RhythmPartBlock = mixer::RhythmPartBlockByte;
constexpr int PatchParts = 7; // parts 1..7 have a temporary patch
constexpr std::uint8_t TemporaryPatchArea = 0x02;

constexpr std::uint32_t PartBlockAt(std::uint8_t block, std::uint8_t offset)
{
    return Linear(PartBlocks.Area, PartBlocks.SubArea, block, offset);
}
// The pattern's part blocks, part 1's up to the rhythm part's: what control changes and
// model-3A messages (part transposition, MFX switch) change in the instrument.
constexpr TAddressRange PatternParts {PartBlockAt(FirstPartBlock, 0),
                                      PartBlockAt(RhythmPartBlock + 1, 0)};
// A part's patch selection in its pattern block: bank, group, number high and low.
constexpr std::uint8_t SelectionFrom = PatchBankOffset;
constexpr std::uint8_t SelectionTo = PatchNumberOffset + 2;

TAddressRange TemporaryPatch(std::uint8_t part)
{
    return {Linear(TemporaryPatchArea, part, 0, 0),
            Linear(TemporaryPatchArea, part, 0, 0) + (1u << 14)};
}

// The whole memory of the part an address belongs to (its temporary patch or its pattern
// block), if it belongs to one.
std::optional<TAddressRange> PartOf(std::uint32_t address)
{
    const auto a = static_cast<std::uint8_t>(address >> 21);
    const auto b = static_cast<std::uint8_t>((address >> 14) & 0x7F);
    const auto c = static_cast<std::uint8_t>((address >> 7) & 0x7F);
    if (a == TemporaryPatchArea)
        return TemporaryPatch(b);
    if (a == PartBlocks.Area && b == PartBlocks.SubArea && c >= FirstPartBlock
        && c <= RhythmPartBlock)
        return TAddressRange {PartBlockAt(c, 0), PartBlockAt(c + 1, 0)};
    return std::nullopt;
}

// From the whole part of its first address to the whole part of its last.
TAddressRange WholeParts(TAddressRange range)
{
    if (const auto first = PartOf(range.From))
        range.From = first->From;
    if (const auto last = PartOf(range.To - 1))
        range.To = last->To;
    return range;
}

// The temporary patches that writing the range makes the instrument reload.
TAddressRange Reloaded(TAddressRange written)
{
    TAddressRange reloaded;
    for (int part = 0; part < PatchParts; ++part) {
        const auto block = static_cast<std::uint8_t>(FirstPartBlock + part);
        const TAddressRange selection {PartBlockAt(block, SelectionFrom),
                                       PartBlockAt(block, SelectionTo)};
        if (!selection.Overlaps(written))
            continue;
        const TAddressRange patch = TemporaryPatch(static_cast<std::uint8_t>(part));
        reloaded = reloaded.To == 0 ? patch : TAddressRange {reloaded.From, patch.To};
    }
    return reloaded;
}

bool IsRolandModel(std::span<const std::uint8_t> message, TModel model, std::uint8_t command)
{
    const std::optional<THeader> header = ReadHeader(message);
    return header && header->Model == model && header->Command == command;
}

midi::TPacingClass ModelDataSet(std::span<const std::uint8_t> message)
{
    const std::uint32_t from = LinearAt(message, HeaderSize);
    const auto data = static_cast<std::uint32_t>(message.size() - SmallestDataSet + 1);
    const TAddressRange written {from, from + data};
    midi::TPacingClass c;
    c.DataSet = true;
    c.Family = Memory;
    c.Touches = {data > ParameterBytes ? WholeParts(written) : written, Reloaded(written)};
    c.Reach = c.Touches[0];
    if (message.size() < (std::size_t(1) << 27))
        c.Key = (std::uint64_t(1) << 62) | (std::uint64_t(message[2] & 0x7F) << 55)
            | (std::uint64_t(from) << 27) | message.size();
    return c;
}

midi::TPacingClass ModelRequest(std::span<const std::uint8_t> message)
{
    const std::uint32_t from = LinearAt(message, HeaderSize);
    const std::uint32_t size = std::max<std::uint32_t>(1, LinearAt(message, AddressEnd));
    midi::TPacingClass c;
    c.Family = Memory;
    c.Touches = {WholeParts({from, from + size}), TAddressRange {}};
    c.Reach = c.Touches[0];
    return c;
}

// A model-3A data set: its part and function byte say what it sets, a place of its own.
midi::TPacingClass Model3ADataSet(std::span<const std::uint8_t> message)
{
    const std::uint8_t part = message[Model3AHeaderSize];
    const std::uint8_t function = message[Model3AHeaderSize + 1];
    const std::uint32_t place = (std::uint32_t(part) << 7) | function;
    midi::TPacingClass c;
    c.DataSet = true;
    c.Family = Model3A;
    c.Touches = {TAddressRange {place, place + 1}, TAddressRange {}};
    c.Reach = PatternParts;
    c.Key = (std::uint64_t(2) << 62) | (std::uint64_t(message[2] & 0x7F) << 55)
        | (std::uint64_t(place) << 41) | std::min<std::size_t>(message.size(), 0xFFFF);
    return c;
}

// One of the mixer's control changes (a part's level, pan or send): it sets that value of the
// channel's part, a place of its own. It leaves at once unless a data set ahead waits; behind
// one, a newer value of the same channel and controller takes its place, so that a drag faster
// than the cable builds no backlog. Any other short message is one the rule does not know.
// The controllers the mixer sends, looked up per message on the sending thread: read from the
// table once, at compile time.
constexpr std::array<bool, 128> MixerControllers = [] {
    std::array<bool, 128> sent {};
    for (int controller = 0; controller < 128; ++controller)
        sent[static_cast<std::size_t>(controller)]
            = mixer::FieldSentAs(mixer::TSending::ControlChange, controller).has_value();
    return sent;
}();

midi::TPacingClass ControlChange(std::uint8_t status, std::uint8_t controller)
{
    if ((status & 0xF0) != 0xB0 || controller > 0x7F || !MixerControllers[controller])
        return {};
    const std::uint32_t place = (std::uint32_t(status & 0x0F) << 7) | controller;
    midi::TPacingClass c;
    c.Family = ControlChanges;
    c.Touches = {TAddressRange {place, place + 1}, TAddressRange {}};
    c.Reach = PatternParts;
    c.Key = (std::uint64_t(3) << 62) | place;
    c.Streamed = true;
    return c;
}

} // namespace

bool IsModelDataSet(std::span<const std::uint8_t> message)
{
    return IsRolandModel(message, TModel::Instrument, CommandDataSet)
        && message.size() >= SmallestDataSet;
}

midi::TPacingClass TInstrumentPacing::Classify(std::span<const std::uint8_t> message,
                                               bool shortMessage) const
{
    if (shortMessage)
        return message.size() == 3 ? ControlChange(message[0], message[1]) : midi::TPacingClass {};
    if (IsModelDataSet(message))
        return ModelDataSet(message);
    if (IsRolandModel(message, TModel::Instrument, CommandRequest) && message.size() == RequestSize)
        return ModelRequest(message);
    const std::span<const std::uint8_t> bare = WithoutModel3ALead(message);
    if (bare.size() >= Model3ASmallest && IsRolandModel(bare, TModel::Model3A, CommandDataSet)
        && bare.back() == 0xF7)
        return Model3ADataSet(bare);
    return {};
}

const midi::IPacingRule &InstrumentPacing()
{
    static const TInstrumentPacing rule;
    return rule;
}

} // namespace sysex
