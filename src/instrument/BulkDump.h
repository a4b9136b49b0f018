#pragma once

// A bulk dump in a .syx file, as the instrument makes one (a pattern dump: the pattern, its
// rhythm set and every part's patch) or as a librarian keeps it: the data sets the instrument's
// memory is filled from before it answers anything. Read without Qt.

#include "InstrumentContents.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace instrument {

// A file larger than this is no bulk dump of one instrument: it is refused without being read.
inline constexpr std::uintmax_t MaxDumpFileBytes = 8u << 20;

// The Roland Data Set 1 message of the instrument's model, F0 41 dd 00 0B 12, address, data,
// checksum, F7, read from one whole System Exclusive message; none for any other message. Data
// is empty when the message has no byte between address and checksum.
struct TRolandDataSet
{
    std::uint8_t DeviceByte;
    TAddress Address;
    std::span<const std::uint8_t> Data;
    bool ChecksumHolds;
};
std::optional<TRolandDataSet> AsRolandDataSet(std::span<const std::uint8_t> message);

struct TDataSet
{
    TAddress Address;
    TBytes Data;
};

struct TBulkDump
{
    std::vector<TDataSet> DataSets; // in file order
    int Skipped = 0; // other messages: other makers, models, commands
};

// Error is empty when the dump was taken; otherwise it says why, naming the file, and the dump
// is empty.
struct TDumpRead
{
    TBulkDump Dump;
    std::string Error;
};

// The bytes of a .syx file: System Exclusive messages one after the other. Every data set of the
// instrument's model is taken, whatever its device byte; a stray byte between messages, a
// message without its F7, a data set with a bad checksum or no data, or no data set at all
// is refused (the error here names no file).
TDumpRead ParseDump(std::span<const std::uint8_t> bytes);

// Reads the file at path with ParseDump, bounded: a missing or unreadable file, a directory or a
// file over MaxDumpFileBytes is refused unread.
TDumpRead ReadDumpFile(const std::filesystem::path &path);

} // namespace instrument
