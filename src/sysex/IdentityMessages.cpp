#include "IdentityMessages.h"

#include "RolandMessage.h"

#include <algorithm>

namespace sysex {

namespace {
// The device byte of the highest ID an MC-307 can have (32).
constexpr std::uint8_t LastDeviceByte = 0x1F;
constexpr TAddress SystemSwitches {0x00, 0x00, 0x00, 0x08};
constexpr std::uint32_t SystemSwitchCount = 3;

bool AllData(std::span<const std::uint8_t> bytes)
{
    return std::none_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b >= 0x80; });
}
} // namespace

midi::TByteStream InquiryRequest()
{
    return {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
}

midi::TByteStream IdentityReply(std::uint8_t deviceByte)
{
    return {0xF0, 0x7E, deviceByte, 0x06, 0x02, RolandId, FamilyCode[0], FamilyCode[1],
            0x01, 0x00, 0x00,       0x03, 0x00, 0x00,     0xF7};
}

bool IsMc307Identity(std::span<const std::uint8_t> m)
{
    return m.size() >= 8 && m[5] == RolandId && m[6] == FamilyCode[0] && m[7] == FamilyCode[1];
}

std::optional<int> InquiryReplyId(std::span<const std::uint8_t> m)
{
    if (m.size() != 15 || m[0] != 0xF0 || m[1] != 0x7E || m[2] < 0x0F || m[2] > LastDeviceByte
        || m[3] != 0x06 || m[4] != 0x02 || m[14] != 0xF7)
        return std::nullopt;
    if (!IsMc307Identity(m) || !AllData(m.subspan(1, m.size() - 2)))
        return std::nullopt;
    return m[2] + 1;
}

midi::TByteStream SystemBlockRequest(int deviceByte)
{
    return RequestMessage(static_cast<std::uint8_t>(deviceByte), SystemSwitches, SystemSwitchCount);
}

std::optional<int> SystemBlockReplyId(std::span<const std::uint8_t> m)
{
    const std::optional<TRolandMessage> reply = ReadRolandMessage(m);
    if (m.size() != 15 || !reply || reply->Header.Model != TModel::Instrument || !reply->IsDataSet()
        || reply->Address() != SystemSwitches || reply->Header.Device < 0x0F
        || reply->Header.Device > LastDeviceByte)
        return std::nullopt;
    if (!AllData(m.subspan(1, m.size() - 2)) || !reply->ChecksumHolds())
        return std::nullopt;
    return reply->Header.Device + 1;
}

} // namespace sysex
