#include "PatternMeaning.h"

#include "PatternMessages.h"

#include <algorithm>

namespace sysex {

namespace {

using TBytes = std::span<const std::uint8_t>;

bool InBlockOf(TBytes body, const std::array<std::uint8_t, 4> &address)
{
    return std::equal(address.begin(), address.begin() + 3, body.begin());
}

std::string Bytes(std::size_t count)
{
    return std::to_string(count) + " bytes";
}

std::string MfxValue(int v, int byte, const std::optional<int> &type)
{
    const mfx::TMfxParam *param = type ? mfx::ParamOf(*type, v)
        : v == 0                       ? &mfx::TypeParam
                                       : nullptr;
    if (!param)
        return "MFX parameter " + std::to_string(v) + " = " + std::to_string(byte);
    const std::string shown = mfx::CheckValue(*param, byte).InRange
        ? mfx::ValueText(*param, byte)
        : std::to_string(byte) + " (out of range)";
    return "MFX " + std::string(param->Name) + " " + shown;
}

// The type byte among the data of a copy of the MFX values whose type lies at typeAddress.
std::optional<int> TypeIn(TBytes body, const std::array<std::uint8_t, 4> &typeAddress)
{
    const int offset = body[3];
    const std::size_t at = 4 + static_cast<std::size_t>(typeAddress[3] - offset);
    if (!InBlockOf(body, typeAddress) || offset > typeAddress[3] || at >= body.size())
        return std::nullopt;
    return body[at];
}

} // namespace

std::optional<std::string> PatternDataSetMeaning(TBytes body, std::optional<int> &mfxType)
{
    const int offset = body[3];
    const std::size_t size = body.size() - 4;
    for (const auto &copy : {mfx::TypeAddress, mfx::SetupTypeAddress})
        if (const std::optional<int> type = TypeIn(body, copy))
            mfxType = *type;
    if (InBlockOf(body, mfx::TypeAddress) && offset >= mfx::TypeAddress[3]
        && offset < mfx::TypeAddress[3] + mfx::ValueCount) {
        const int v = offset - mfx::TypeAddress[3];
        if (size == 1)
            return MfxValue(v, body[4], v == 0 ? std::optional<int>(body[4]) : mfxType);
        if (v == 0)
            return "MFX " + mfx::ValueText(mfx::TypeParam, body[4]) + ", " + Bytes(size);
    }
    const pattern::TAddress rhythm = pattern::RhythmPartMfxAddress();
    if (std::equal(rhythm.begin(), rhythm.end(), body.begin()) && size == 1
        && body[4] == static_cast<int>(pattern::TPartMfx::Rhythm))
        return std::string("Pattern part R MFX = RHY");
    if (InBlockOf(body, pattern::EffectsAddress))
        return "Pattern effects, " + Bytes(size);
    if (!InBlockOf(body, pattern::SetupAddress))
        return std::nullopt;
    std::string text;
    if (offset == 0 && size >= std::size_t(pattern::NameSize)) {
        std::array<std::uint8_t, pattern::NameSize> name {};
        std::copy_n(body.begin() + 4, pattern::NameSize, name.begin());
        text = "Pattern name \"" + pattern::NameFromBytes(name) + "\"";
    }
    if (offset <= pattern::TempoOffset
        && offset + size >= std::size_t(pattern::TempoOffset + pattern::TempoNibbleCount)) {
        std::array<std::uint8_t, pattern::TempoNibbleCount> nibbles {};
        std::copy_n(body.begin() + 4 + (pattern::TempoOffset - offset), nibbles.size(),
                    nibbles.begin());
        text += (text.empty() ? "" : ", ") + std::string("Tempo ")
            + pattern::TempoText(pattern::TempoTenths(pattern::TempoFromNibbles(nibbles)));
    }
    if (size > std::size_t(pattern::NameTempoSize) || text.empty())
        text = "Pattern setup, " + Bytes(size);
    return text;
}

std::optional<std::string> PatternRequestMeaning(TBytes body)
{
    const int size = ((body[4] * 128 + body[5]) * 128 + body[6]) * 128 + body[7];
    if (std::equal(mfx::TypeAddress.begin(), mfx::TypeAddress.end(), body.begin()))
        return "MFX request, " + Bytes(std::size_t(size));
    if (InBlockOf(body, pattern::SetupAddress))
        return "Pattern setup request, " + Bytes(std::size_t(size));
    if (InBlockOf(body, pattern::EffectsAddress))
        return "Pattern effects request, " + Bytes(std::size_t(size));
    return std::nullopt;
}

} // namespace sysex
