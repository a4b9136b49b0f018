#pragma once

// The instrument takes at most 128 data bytes in one data set: the program's own data beyond
// that (a patch file) goes as several data sets, each a whole message with its own address and
// checksum, the addresses following one another in the instrument's 7-bit address space.

#include "midi/SysExText.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace sysex {

inline constexpr std::size_t MaxPacketData = 128;

// The data sets that write data from address on, for the device ID; none for no data.
std::vector<midi::TByteStream> DataSetPackets(int deviceId,
                                              const std::array<std::uint8_t, 4> &address,
                                              std::span<const std::uint8_t> data);

} // namespace sysex
