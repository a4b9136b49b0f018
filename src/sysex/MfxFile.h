#pragma once

// MFX files: an MFX setting kept as a .syx file of one data set, the type and its twelve
// parameter bytes at 01 00 00 0D. An opened file is checked whole, as a patch file is, before
// anything of it is sent: every message's frame and checksum, then every value the type uses
// against its range.

#include "MfxParams.h"
#include "midi/SysExText.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace sysex::mfx {

// A file larger than this is no MFX file: it is refused without being read.
inline constexpr std::size_t MaxMfxFileBytes = 64 * 1024;

struct TMfxFileError
{
    std::size_t Offset; // in the file: of the bad message, the stray byte or the bad value
    std::string Why;
};

// The first data set of the instrument's model that holds all thirteen values at 01 00 00 0D
// (the file's own, or the pattern common block of a bulk dump) gives the values; the other
// messages are skipped and counted.
struct TMfxFileRead
{
    std::optional<TValues> Values;
    int Skipped = 0;
    std::optional<TMfxFileError> Error;
};
TMfxFileRead ReadMfxFile(std::span<const std::uint8_t> bytes);

// The file of these values for the device ID: one data set.
midi::TByteStream MfxFileBytes(const TValues &values, int deviceId);

} // namespace sysex::mfx
