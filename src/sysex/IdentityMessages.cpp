#include "IdentityMessages.h"

#include <algorithm>

namespace sysex {

namespace {
// The device byte of the highest ID an MC-307 can have (32).
constexpr std::uint8_t LastDeviceByte = 0x1F;

bool Checksummed(std::span<const std::uint8_t> bytes)
{
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    return sum % 128 == 0;
}
} // namespace

midi::TByteStream InquiryRequest()
{
    return {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7};
}

std::optional<int> InquiryReplyId(std::span<const std::uint8_t> m)
{
    // Identity Reply, Roland, the MC-307's family code.
    static constexpr std::uint8_t Identity[] = {0x06, 0x02, 0x41, 0x0B, 0x01};
    if (m.size() != 15 || m[0] != 0xF0 || m[1] != 0x7E || m[2] < 0x0F || m[2] > LastDeviceByte
        || m[14] != 0xF7)
        return std::nullopt;
    if (!std::equal(std::begin(Identity), std::end(Identity), m.begin() + 3)
        || std::any_of(m.begin() + 1, m.end() - 1, [](std::uint8_t b) { return b >= 0x80; }))
        return std::nullopt;
    return m[2] + 1;
}

midi::TByteStream SystemBlockRequest(int deviceByte)
{
    midi::TByteStream request {0xF0, 0x41, static_cast<std::uint8_t>(deviceByte),
                               0x00, 0x0B, 0x11,
                               0x00, 0x00, 0x00,
                               0x08, 0x00, 0x00,
                               0x00, 0x03};
    request.push_back(midi::RolandChecksum(request.data() + 6, 8));
    request.push_back(0xF7);
    return request;
}

std::optional<int> SystemBlockReplyId(std::span<const std::uint8_t> m)
{
    static constexpr std::uint8_t Head[] = {0x00, 0x0B, 0x12, 0x00, 0x00, 0x00, 0x08};
    if (m.size() != 15 || m[0] != 0xF0 || m[1] != 0x41 || m[2] < 0x0F || m[2] > LastDeviceByte
        || m[14] != 0xF7 || !std::equal(std::begin(Head), std::end(Head), m.begin() + 3))
        return std::nullopt;
    if (std::any_of(m.begin() + 1, m.end() - 1, [](std::uint8_t b) { return b >= 0x80; })
        || !Checksummed(m.subspan(6, 8)))
        return std::nullopt;
    return m[2] + 1;
}

} // namespace sysex
