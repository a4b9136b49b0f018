#include "DataPackets.h"

#include "RolandMessage.h"

#include <algorithm>

namespace sysex {

std::vector<midi::TByteStream> DataSetPackets(int deviceId,
                                              const std::array<std::uint8_t, 4> &address,
                                              std::span<const std::uint8_t> data)
{
    std::vector<midi::TByteStream> packets;
    std::uint32_t linear = (std::uint32_t(address[0] & 0x7F) << 21)
        | (std::uint32_t(address[1] & 0x7F) << 14) | (std::uint32_t(address[2] & 0x7F) << 7)
        | std::uint32_t(address[3] & 0x7F);
    const auto device = static_cast<std::uint8_t>(DeviceByte(deviceId));
    for (std::size_t done = 0; done < data.size(); done += MaxPacketData) {
        const std::size_t count = std::min(MaxPacketData, data.size() - done);
        midi::TByteStream packet {0xF0, 0x41, device, 0x00, 0x0B, 0x12};
        for (int shift = 21; shift >= 0; shift -= 7)
            packet.push_back(static_cast<std::uint8_t>((linear >> shift) & 0x7F));
        packet.insert(packet.end(), data.begin() + static_cast<std::ptrdiff_t>(done),
                      data.begin() + static_cast<std::ptrdiff_t>(done + count));
        packet.push_back(midi::RolandChecksum(packet.data() + 6, packet.size() - 6));
        packet.push_back(0xF7);
        packets.push_back(std::move(packet));
        linear += static_cast<std::uint32_t>(count);
    }
    return packets;
}

} // namespace sysex
