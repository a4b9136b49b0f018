#pragma once

// The messages that find the MC-307: the universal Inquiry Request and the instrument's
// Identity Reply, and the request of its system block with the answer to it.

#include "midi/SysExText.h"

#include <cstdint>
#include <optional>
#include <span>

namespace sysex {

// F0 7E 7F 06 01 F7: every device is asked.
midi::TByteStream InquiryRequest();
// The instrument's answer from its device byte, the identity its owner's manual gives: Roland,
// family 0B 01, number 01 00, software revision 00 03 00 00.
midi::TByteStream IdentityReply(std::uint8_t deviceByte);
// Whether an Identity Reply names Roland and the MC-307's family.
bool IsMc307Identity(std::span<const std::uint8_t> message);
// The device ID of an MC-307's answer to the Inquiry Request (F0 7E dev 06 02 41 0B 01 01 00 00
// 03 00 00 F7, dev + 1 the ID, 16..32), or none for anything else: short, long, another maker or
// family. The instrument is known by its family code (0B 01) alone: the model number and the
// software revision after it differ between firmware versions.
std::optional<int> InquiryReplyId(std::span<const std::uint8_t> message);
// A request of the three system switches (00 00 00 08) to one device byte.
midi::TByteStream SystemBlockRequest(int deviceByte);
// The device ID of the instrument's answer to it (a whole, checksummed data set of 00 00 00 08
// with three bytes), or none.
std::optional<int> SystemBlockReplyId(std::span<const std::uint8_t> message);

} // namespace sysex
