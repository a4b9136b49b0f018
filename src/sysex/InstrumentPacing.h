#pragma once

// The MC-307's rule for the paced queue of its device: every Data Set 1 message (command 12),
// of the instrument's model (00 0B) or of the mixer's model 3A, keeps the gap the owner's manual
// asks for; a newer value replaces a waiting one of the same address and length (00 0B), the
// same part and function (3A) or the same channel and controller (the mixer's control changes);
// and nothing is moved past a message that writes, reads or reloads the same memory: a patch
// selection reloads its part's temporary patch, a request and a patch file's packet stand for
// their whole part, and a model-3A message or a control change for all the pattern's parts.

#include "midi/PacingRule.h"

#include <cstdint>
#include <span>

namespace sysex {

// F0 41 dd 00 0B 12, four address bytes, at least one data byte, checksum and F7.
bool IsModelDataSet(std::span<const std::uint8_t> message);

class TInstrumentPacing final : public midi::IPacingRule
{
public:
    midi::TPacingClass Classify(std::span<const std::uint8_t> message,
                                bool shortMessage) const override;
};

// The one rule the program's paced outputs are given.
const midi::IPacingRule &InstrumentPacing();

} // namespace sysex
