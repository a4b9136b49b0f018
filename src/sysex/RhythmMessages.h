#pragma once

// What the rhythm set window says to the instrument and reads back, without a window: a data
// set for each change of a key, the pasted key, the requests that read the whole rhythm set, the
// collecting of the received blocks, rhythm set files, and what a rhythm message means. Where
// the bytes lie is the key table's (RhythmParams.h).

#include "RhythmParams.h"

#include "midi/SysExText.h"

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sysex::rhythm {

using TName = std::array<std::uint8_t, NameSize>;
using TKeyBlock = std::array<std::uint8_t, KeyBlockSize>;

// A whole rhythm set, as its 65 blocks hold it.
struct TRhythmSet
{
    TName Name {};
    std::array<TKeyBlock, KeyCount> Keys {};

    std::span<const std::uint8_t> Block(int block) const;
    std::span<std::uint8_t> Block(int block);
    bool operator==(const TRhythmSet &) const = default;
};

// The data set that writes one byte of a key (35..98), the byte kept within its stored range;
// none for a reserved byte, the wave's bytes (sent together by KeyWaveMessage) or a note that is
// no key.
std::optional<midi::TByteStream> KeyByteMessage(int deviceId, int note, int offset, int byte);
// The data set for a change of a row's control (not the wave's nor an envelope's: their bytes
// go by KeyByteMessage and KeyWaveMessage).
std::optional<midi::TByteStream> KeyParamMessage(int deviceId, int note, const TKeyParam &param,
                                                 int controlValue);
// The wave as one data set of three bytes at 02: its group (1..3) and its number's two nibbles.
std::optional<midi::TByteStream> KeyWaveMessage(int deviceId, int note, int groupByte, int number);
// The group byte and number a key block holds.
struct TKeyWave
{
    int GroupByte;
    int Number;
};
TKeyWave WaveOfKey(const TKeyBlock &key);

// The name as one data set: its first 12 characters padded with spaces, a character outside
// 32..125 sent as a space.
midi::TByteStream NameMessage(int deviceId, std::string_view name);
// The name as a user reads it, without its padding.
std::string NameText(const TName &name);

// A key copied onto another: every byte of source but the reserved ones, which stay the
// target's.
TKeyBlock PastedKey(const TKeyBlock &source, const TKeyBlock &target);
// The one data set of the whole pasted key, written to targetNote.
std::optional<midi::TByteStream> PasteKeyMessage(int deviceId, int targetNote,
                                                 const TKeyBlock &source, const TKeyBlock &target);

// The request that reads the name and every key at once: from the name's first byte to the
// last key's last byte. Addresses are 7-bit bytes, so the size is that of the span between the
// two addresses taken as 7-bit numbers (00 00 62 3A), not their difference in plain hex.
inline constexpr std::uint32_t SpanningRequestSize = [] {
    constexpr TAddress last = BlockAddress(BlockCount - 1);
    return (std::uint32_t(last[2]) << 7) + std::uint32_t(last[3]) + KeyBlockSize;
}();
midi::TByteStream RhythmSetRequest(int deviceId);
// The request of one block (0: the name, 1..64: the keys from 35 up), for a block the spanning
// request left missing.
midi::TByteStream BlockRequest(int deviceId, int block);

// Gathers the rhythm set from received data sets, in any pieces and any order. A block is
// complete when every one of its bytes has come; an incomplete block is never given out, so a
// window shows nothing rather than zeros for it.
class TRhythmSetCollector
{
public:
    // Takes a received message; returns whether it carried bytes of the rhythm set. Anything but
    // a whole data set of the instrument with a sound checksum is left. Any device's.
    bool Take(std::span<const std::uint8_t> message);
    // The same for the bytes a data set writes from an address (a file's, a dump's).
    bool TakeData(const TAddress &address, std::span<const std::uint8_t> data);
    bool Complete(int block) const;
    bool AllComplete() const;
    // The blocks not yet complete, in block order.
    std::vector<int> MissingBlocks() const;
    std::optional<TName> Name() const;
    std::optional<TKeyBlock> Key(int note) const;
    std::optional<TRhythmSet> Set() const;
    void Clear();

private:
    TRhythmSet Bytes;
    // Which bytes of each block have come.
    std::array<std::bitset<KeyBlockSize>, BlockCount> Received {};
};

// A rhythm set file: the 65 data sets as the instrument's dump holds them, name first.
std::vector<std::uint8_t> RhythmSetFile(const TRhythmSet &set, int deviceId);
// The data sets that write a whole rhythm set, in the same order.
std::vector<midi::TByteStream> RhythmSetMessages(const TRhythmSet &set, int deviceId);

struct TRhythmFileError
{
    std::size_t Offset; // of the first byte of the bad message, of the stray byte, or 0
    std::string Why;
};
struct TRhythmFileRead
{
    std::optional<TRhythmSet> Set;
    std::optional<TRhythmFileError> Error;
    int Skipped = 0; // messages that are not the rhythm set's: a pattern dump's others
};
// Reads a rhythm set from the bytes of a .syx file: a rhythm set file, or a whole pattern dump
// that holds one. Every message is checked first: a stray byte, a message without its F7, a data
// set of the instrument with a bad checksum or no data, a rhythm data set that runs past its
// block or lies in no block gives the error, as does a rhythm set not held whole.
TRhythmFileRead ReadRhythmSetFile(std::span<const std::uint8_t> bytes);

// What a data set to the rhythm set (block byte, offset and data) or a request of it means, as
// the monitor shows it: "Rhythm key 36 (C2) Cutoff 64", "Rhythm set name".
std::string DataSetMeaning(int blockByte, int offset, std::span<const std::uint8_t> data);
std::string RequestMeaning(int blockByte, std::uint32_t size);

} // namespace sysex::rhythm
