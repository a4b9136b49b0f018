#pragma once

// The pattern's MFX, name and tempo in the instrument's memory: what the pattern common block's
// tail and the pattern setup's two blocks hold at power-on, where the two copies of the MFX
// values lie (the instrument keeps them equal), and which MFX values a data set may write.

#include "InstrumentContents.h"
#include "sysex/MfxParams.h"

#include <array>
#include <cstdint>
#include <span>

namespace instrument {

// The MFX type's address in each copy: the pattern common block's, then the pattern setup's.
inline constexpr std::array<std::uint32_t, 2> MfxCopyStarts {
    LinearAddress(sysex::mfx::TypeAddress), LinearAddress(sysex::mfx::SetupTypeAddress)};
inline constexpr std::uint32_t MfxCopySize = sysex::mfx::ValueCount;

// Writes the power-on MFX, reserved bytes and voice reserve into the pattern common block.
void WriteInitialPatternCommonTail(TBytes &common);
// The pattern setup's header block: a name, 120.0 BPM, and the unidentified bytes as a real
// pattern holds them.
TBytes InitialPatternSetup();
// The pattern setup's effects block, its MFX, reverb and delay equal to those of common.
TBytes InitialPatternEffects(const TBytes &common);

// Whether the MFX values a data set writes lie in their ranges: after is the thirteen values as
// the data set leaves them, written which of them it writes. The type is judged against the
// type list, each parameter it writes against the type it leaves; a parameter the type does
// not use may hold anything.
bool MfxWriteInRange(const sysex::mfx::TValues &after,
                     const std::array<bool, sysex::mfx::ValueCount> &written);

} // namespace instrument
