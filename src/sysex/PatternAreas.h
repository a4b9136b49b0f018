#pragma once

// A whole pattern as the instrument holds it: every block of the pattern, its seven parts'
// temporary patches and part R's rhythm set, in the order of the instrument's own pattern bulk
// dump. One table, walked by the backup, the restore, its verification, the dump receiver, the
// compare view and the built-in instrument; and the pure work on dump files: reading their
// messages, putting them in the dump's order or the restore's, and comparing two of them.

#include "midi/SysExText.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sysex::areas {

using TAddress = std::array<std::uint8_t, 4>;

// The five groups of a pattern dump, in its order.
enum class TGroup { Pattern, Patches, Rhythm, Notes, Setup };
inline constexpr int GroupCount = 5;

enum class TKind {
    PatternCommon,
    PatternPart, // Index 0..7: parts 1..7, then R
    CommonTail, // the dump's second data set inside the pattern common block
    PatchCommon, // Index: part 0..6
    Tone, // Index: part × 4 + tone
    RhythmName,
    RhythmKey, // Index: the key's note
    NotesPage, // Index: the page 0..MaxNotesPages-1
    Setup,
    SetupEffects,
    PartSetup, // Index 0..7: parts 1..7, then R
};

struct TArea
{
    TAddress Address;
    int Size; // on the instrument; a page of notes may end shorter
    TKind Kind;
    int Index;
    TGroup Group;
    // Asked for by a backup: the dump's data set inside the common block is not, the block
    // whole holds its bytes.
    bool Read;
};

// The pattern's notes come in pages of 128 bytes from 40 00 00 00; the count depends on the
// pattern, and an address page holds at most 127 of them below 40 00 7F 00.
inline constexpr int NotesPageSize = 128;
inline constexpr int MaxNotesPages = 127;

// Every area in the dump's order, the pages of notes included.
std::span<const TArea> Areas();

// The area whose bytes the address falls in, or none.
const TArea *AreaAt(const TAddress &address);
// "Pattern common", "Part 3 block", "Part 3 patch common", "Part 3 tone 2", "Rhythm set name",
// "Rhythm key 35", "Notes page 4", "Pattern setup", "Pattern effects", "Part R setup".
std::string AreaName(const TArea &area);
// "common", "part 3's patch", "rhythm set", "notes", "setup": what the receiver lists as come.
std::string GroupName(const TArea &area);

// Seven-bit addresses as one number, for ranges.
std::uint32_t Linear(const TAddress &address);
TAddress FromLinear(std::uint32_t linear);

// One message of a dump file, as it lies there.
struct TDumpMessage
{
    std::size_t Offset; // in the file
    midi::TByteStream Bytes; // F0 .. F7
    std::uint8_t Device;
    TAddress Address;
    std::vector<std::uint8_t> Data;
    bool ChecksumHolds;
};

struct TDumpFile
{
    std::vector<TDumpMessage> DataSets; // of the instrument's model, in file order
    int Other = 0; // other whole messages
    std::string Error; // a stray byte or a message cut short, with its offset; empty when read
};
// The bytes of a .syx file. A bad checksum is kept and flagged, not refused: the receiver names
// it, and a restore refuses the file.
TDumpFile ReadDump(std::span<const std::uint8_t> bytes);

// The dump's order: by area, as the table lists them; data sets outside every area last, in
// file order. Stable.
std::vector<TDumpMessage> InDumpOrder(std::vector<TDumpMessage> messages);
// The restore's order: the pattern's areas (01 00, 30 00, 40 00) first, then the patches and
// the rhythm set, whose writing a patch selection would undo. Stable.
std::vector<TDumpMessage> InRestoreOrder(std::vector<TDumpMessage> messages);

// The bytes the data sets write, by linear address; a later data set wins.
using TImage = std::map<std::uint32_t, std::uint8_t>;
TImage ImageOf(std::span<const TDumpMessage> messages);

struct TByteDifference
{
    std::uint32_t Address; // linear
    std::optional<std::uint8_t> First;
    std::optional<std::uint8_t> Second;
};
// Every address where the two images differ, a byte that only one holds included.
std::vector<TByteDifference> Differences(const TImage &first, const TImage &second);

// The byte the map keeps twice: a part's level and pan lie in its pattern block (01 00 1p) and
// in its part setup (30 00 4p 03/04); the two copies may differ on the instrument.
bool IsCopiedValue(std::uint32_t address);

// One area written by a restore, as read back.
struct TAreaCheck
{
    const TArea *Area;
    TAddress Start; // where the written bytes start (a page of notes: the page)
    enum { Equal, Differs, CopyDiffers, NotAnswered } Outcome;
    std::optional<TAddress> FirstDifference;
};
// Each area the written data sets touch, in the dump's order, checked against what came back:
// every written byte must read back as written.
std::vector<TAreaCheck> CheckAreas(std::span<const TDumpMessage> written, const TImage &readBack);

} // namespace sysex::areas
