#pragma once

// Patch files: the standard .syx file of System Exclusive messages that every librarian reads.
// A saved patch holds the instrument's data sets of one part's patch common and tone blocks, as
// the instrument sent them; an opened one is checked whole before anything is sent, so a bad
// file never leaves the instrument half written.

#include "midi/SysExText.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sysex {

// A file larger than this is no patch file: it is refused without being read.
inline constexpr std::size_t MaxPatchFileBytes = 1024 * 1024;

// One data set taken from a file: the patch block's third address byte (00 for the patch common,
// 10..17 for the tone blocks, each tone running over two address pages), the offset in that page
// and the data bytes.
struct TPatchMessage
{
    std::uint8_t Page;
    std::uint8_t Offset;
    std::vector<std::uint8_t> Data;
};

struct TPatchFileError
{
    std::size_t Offset; // of the first byte of the first bad message, or of the stray byte
    std::string Why;
};

struct TPatchFile
{
    int Part = 0; // 0..6, the part the file's messages were written for
    std::vector<TPatchMessage> Messages; // in file order
    int Skipped = 0; // other messages: other makers, models, commands, addresses or parts
};

// Reads the bytes of a .syx file. Takes the instrument's data sets of the patch common and tone
// blocks of every part they name; every one has its checksum checked and must end inside its
// block. A stray byte between messages, a message without its F7, a bad checksum or length, or
// a file with no patch data gives the error and no messages.
struct TPatchFileRead
{
    TPatchFile File; // the patch of the first part named
    // One patch for each part named, by part: more than one in a bulk dump of a pattern.
    std::vector<TPatchFile> Parts;
    std::optional<TPatchFileError> Error;
};
TPatchFileRead ParsePatchFile(std::span<const std::uint8_t> bytes);

// The data sets that write the file's patch into part (0..6) of the instrument of deviceId: the
// device byte and the part rewritten, each cut into packets of at most 128 data bytes.
std::vector<midi::TByteStream> PatchFileMessages(const TPatchFile &file, int deviceId, int part);

// The patch's name, from the first bytes of its patch common block, without its padding; none
// when the file does not hold them all.
std::optional<std::string> PatchFileName(const TPatchFile &file);

// The blocks the file's patch does not hold whole, by name ("Common", "Tone 1".."Tone 4"): a
// hole, or a block that ends short of its size on the instrument; none when the patch is
// complete.
std::vector<std::string> MissingFileBlocks(const TPatchFile &file);

// The blocks of part (0..6) that the received data sets do not hold from their start without
// a hole, by name ("Common", "Tone 1".."Tone 4"); none when the patch is complete. The program
// does not know the blocks' sizes on the instrument, so a block cut short at its end passes.
std::vector<std::string> MissingPatchBlocks(std::span<const midi::TByteStream> received, int part);

// The received messages a saved patch of part (0..6) keeps, as they came: the data sets of its
// patch common and tone blocks, nothing else.
std::vector<midi::TByteStream> PatchBlockMessages(std::span<const midi::TByteStream> received,
                                                  int part);

} // namespace sysex
