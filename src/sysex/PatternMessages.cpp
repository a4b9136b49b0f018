#include "PatternMessages.h"

#include "MessageView.h"
#include "MixerParams.h"
#include "RolandMessage.h"
#include "midi/SysExText.h"

#include <algorithm>

namespace sysex::pattern {

namespace {

using midi::HexByte;

constexpr int RequestWaitMs = 500;

std::string AddressText(const TAddress &address, int plus = 0)
{
    return HexByte(address[0]) + " " + HexByte(address[1]) + " " + HexByte(address[2]) + " "
        + HexByte(address[3] + plus);
}

std::string SizeText(int size)
{
    return " 00 00 00 " + HexByte(size);
}

bool StartsAt(const TMessageView &view, const TAddress &address)
{
    for (std::size_t i = 0; i + 1 < address.size(); ++i)
        if (view.Byte(HeaderSize + i) != address[i])
            return false;
    return true;
}

// Each MFX value the message holds, read from a copy whose type byte lies at typeAddress.
void ReadMfx(const TMessageView &view, const TAddress &typeAddress, TDecoded &decoded)
{
    if (!StartsAt(view, typeAddress))
        return;
    for (int v = 0; v < mfx::ValueCount; ++v)
        if (const std::optional<std::uint8_t> byte = view.AtOffset(typeAddress[3] + v))
            decoded.Mfx[static_cast<std::size_t>(v)] = *byte;
}

void ReadSetup(const TMessageView &view, TDecoded &decoded)
{
    if (!StartsAt(view, SetupAddress))
        return;
    if (view.HasOffsets(0, NameSize)) {
        std::array<std::uint8_t, NameSize> name {};
        for (int i = 0; i < NameSize; ++i)
            name[static_cast<std::size_t>(i)] = *view.AtOffset(i);
        decoded.Name = NameFromBytes(name);
    }
    if (view.HasOffsets(TempoOffset, TempoNibbleCount)) {
        std::array<std::uint8_t, TempoNibbleCount> nibbles {};
        for (int i = 0; i < TempoNibbleCount; ++i)
            nibbles[static_cast<std::size_t>(i)] = *view.AtOffset(TempoOffset + i);
        decoded.TempoHundredths = TempoFromNibbles(nibbles);
    }
}

} // namespace

std::string NameFromBytes(std::span<const std::uint8_t, NameSize> bytes)
{
    std::string name;
    for (std::uint8_t byte : bytes)
        name += byte >= NameFirstChar && byte <= NameLastChar ? static_cast<char>(byte) : ' ';
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
}

std::array<std::uint8_t, NameSize> NameBytes(std::string_view name)
{
    std::array<std::uint8_t, NameSize> bytes {};
    bytes.fill(' ');
    for (std::size_t i = 0; i < bytes.size() && i < name.size(); ++i) {
        const auto c = static_cast<std::uint8_t>(name[i]);
        bytes[i] = c >= NameFirstChar && c <= NameLastChar ? c : ' ';
    }
    return bytes;
}

std::string NameMessage(const std::string &dataSetHeader, std::string_view name)
{
    std::string text = dataSetHeader + AddressText(SetupAddress);
    for (std::uint8_t byte : NameBytes(name))
        text += " " + HexByte(byte);
    return text;
}

std::array<std::uint8_t, TempoNibbleCount> TempoNibbles(int hundredths)
{
    const int value = std::clamp(hundredths, 0, 0xFFFF);
    return {static_cast<std::uint8_t>(value >> 12), static_cast<std::uint8_t>((value >> 8) & 0xF),
            static_cast<std::uint8_t>((value >> 4) & 0xF), static_cast<std::uint8_t>(value & 0xF)};
}

int TempoFromNibbles(std::span<const std::uint8_t, TempoNibbleCount> nibbles)
{
    int value = 0;
    for (std::uint8_t nibble : nibbles)
        value = value * 16 + std::min<int>(nibble, 15);
    return value;
}

int TempoTenths(int hundredths)
{
    return std::clamp((hundredths + 5) / 10, TempoMinTenths, TempoMaxTenths);
}

std::string TempoText(int tenths)
{
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::optional<int> TempoTenthsFromText(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(' ') + 1 - first);
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction
        = point == std::string_view::npos ? std::string_view {} : text.substr(point + 1);
    const auto digits = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (whole.empty() || whole.size() > 4 || fraction.size() > 1 || !digits(whole)
        || !digits(fraction) || (point != std::string_view::npos && fraction.empty()))
        return std::nullopt;
    int tenths = 0;
    for (char c : whole)
        tenths = tenths * 10 + (c - '0');
    tenths = tenths * 10 + (fraction.empty() ? 0 : fraction[0] - '0');
    if (tenths < TempoMinTenths || tenths > TempoMaxTenths)
        return std::nullopt;
    return tenths;
}

std::string TempoMessage(const std::string &dataSetHeader, int tenths)
{
    std::string text = dataSetHeader + AddressText(SetupAddress, TempoOffset);
    for (std::uint8_t nibble :
         TempoNibbles(std::clamp(tenths, TempoMinTenths, TempoMaxTenths) * 10))
        text += " " + HexByte(nibble);
    return text;
}

std::optional<std::string> MfxMessage(const std::string &dataSetHeader, int type, int v, int byte)
{
    const mfx::TMfxParam *param = mfx::ParamOf(type, v);
    if (!param || !mfx::CheckValue(*param, byte).InRange)
        return std::nullopt;
    return dataSetHeader + AddressText(mfx::TypeAddress, v) + " " + HexByte(byte);
}

TAddress RhythmPartMfxAddress()
{
    const mixer::TBlockInfo &parts = mixer::BlockInfo(mixer::TBlock::PatternPart);
    return {parts.Area, parts.SubArea, mixer::RhythmPartBlockByte,
            mixer::OffsetOf(mixer::TFieldId::PartMfx)};
}

std::string RhythmPartMfxMessage(const std::string &dataSetHeader, TPartMfx value)
{
    return dataSetHeader + AddressText(RhythmPartMfxAddress()) + " "
        + HexByte(static_cast<int>(value));
}

TRequest MfxRequest(const std::string &dataRequestHeader)
{
    return {dataRequestHeader + AddressText(mfx::TypeAddress) + SizeText(mfx::ValueCount),
            RequestWaitMs};
}

TRequest NameTempoRequest(const std::string &dataRequestHeader)
{
    return {dataRequestHeader + AddressText(SetupAddress) + SizeText(NameTempoSize), RequestWaitMs};
}

bool TDecoded::Any() const
{
    return Name || TempoHundredths || RhythmPartMfx
        || std::any_of(Mfx.begin(), Mfx.end(), [](const auto &v) { return v.has_value(); });
}

TDecoded DecodeMessage(std::span<const std::uint8_t> message)
{
    TDecoded decoded;
    const std::optional<THeader> header = ReadHeader(message);
    if (!header || header->Model != TModel::Instrument || header->Command != CommandDataSet)
        return decoded;
    const TMessageView view(message);
    ReadMfx(view, mfx::TypeAddress, decoded);
    ReadMfx(view, mfx::SetupTypeAddress, decoded);
    ReadSetup(view, decoded);
    const TAddress rhythm = RhythmPartMfxAddress();
    if (StartsAt(view, rhythm))
        if (const std::optional<std::uint8_t> byte = view.AtOffset(rhythm[3]))
            decoded.RhythmPartMfx = *byte;
    return decoded;
}

} // namespace sysex::pattern
