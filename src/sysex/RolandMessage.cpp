#include "RolandMessage.h"

#include <algorithm>

namespace sysex {

namespace {
constexpr std::uint8_t SysExStart = 0xF0;
constexpr std::uint8_t SysExEnd = 0xF7;

std::string HeaderText(int deviceId, const char *command)
{
    return "F0 41 " + midi::HexByte(DeviceByte(deviceId)) + " 00 0B " + command + " ";
}

// The frame around a body: header, body, checksum, F7.
midi::TByteStream Framed(std::uint8_t deviceByte, std::uint8_t command,
                         std::span<const std::uint8_t> body)
{
    midi::TByteStream message {SysExStart, RolandId,   static_cast<std::uint8_t>(deviceByte & 0x7F),
                               ModelId[0], ModelId[1], command};
    message.reserve(HeaderSize + body.size() + 2);
    message.insert(message.end(), body.begin(), body.end());
    message.push_back(midi::RolandChecksum(message.data() + HeaderSize, body.size()));
    message.push_back(SysExEnd);
    return message;
}

std::uint32_t Linear(const TAddress &address)
{
    return (std::uint32_t(address[0] & 0x7F) << 21) | (std::uint32_t(address[1] & 0x7F) << 14)
        | (std::uint32_t(address[2] & 0x7F) << 7) | std::uint32_t(address[3] & 0x7F);
}

TAddress FromLinear(std::uint32_t linear)
{
    return {static_cast<std::uint8_t>((linear >> 21) & 0x7F),
            static_cast<std::uint8_t>((linear >> 14) & 0x7F),
            static_cast<std::uint8_t>((linear >> 7) & 0x7F),
            static_cast<std::uint8_t>(linear & 0x7F)};
}
} // namespace

int DeviceByte(int deviceId)
{
    constexpr int FactoryDeviceByte = 0x10;
    const int byte = deviceId - 1;
    return (byte >= 0 && byte <= 0x7F) ? byte : FactoryDeviceByte;
}

std::string DataSetHeader(int deviceId)
{
    return HeaderText(deviceId, "12");
}

std::string DataRequestHeader(int deviceId)
{
    return HeaderText(deviceId, "11");
}

std::string Model3AHeader(int deviceId)
{
    return "00 F0 41 " + midi::HexByte(DeviceByte(deviceId)) + " 3A 12 ";
}

midi::TByteStream DataSetMessage(std::uint8_t deviceByte, const TAddress &address,
                                 std::span<const std::uint8_t> data)
{
    std::vector<std::uint8_t> body(address.begin(), address.end());
    body.insert(body.end(), data.begin(), data.end());
    return Framed(deviceByte, CommandDataSet, body);
}

midi::TByteStream RequestMessage(std::uint8_t deviceByte, const TAddress &address,
                                 std::uint32_t size)
{
    const TAddress sizeBytes = FromLinear(size);
    std::array<std::uint8_t, 2 * AddressSize> body {};
    std::copy(address.begin(), address.end(), body.begin());
    std::copy(sizeBytes.begin(), sizeBytes.end(), body.begin() + AddressSize);
    return Framed(deviceByte, CommandRequest, body);
}

std::vector<midi::TByteStream> DataSetPackets(int deviceId, const TAddress &address,
                                              std::span<const std::uint8_t> data)
{
    std::vector<midi::TByteStream> packets;
    std::uint32_t linear = Linear(address);
    const auto device = static_cast<std::uint8_t>(DeviceByte(deviceId));
    for (std::size_t done = 0; done < data.size(); done += MaxPacketData) {
        const std::size_t count = std::min(MaxPacketData, data.size() - done);
        packets.push_back(DataSetMessage(device, FromLinear(linear), data.subspan(done, count)));
        linear += static_cast<std::uint32_t>(count);
    }
    return packets;
}

std::span<const std::uint8_t> WithoutModel3ALead(std::span<const std::uint8_t> message)
{
    if (message.size() > 1 && message[0] == 0x00 && message[1] == SysExStart)
        return message.subspan(1);
    return message;
}

std::optional<THeader> ReadHeader(std::span<const std::uint8_t> message)
{
    if (message.size() <= Model3AHeaderSize || message[0] != SysExStart || message[1] != RolandId)
        return std::nullopt;
    if (message[3] == Model3AId)
        return THeader {message[2], TModel::Model3A, message[4], Model3AHeaderSize};
    if (message.size() > HeaderSize && message[3] == ModelId[0] && message[4] == ModelId[1])
        return THeader {message[2], TModel::Instrument, message[5], HeaderSize};
    return std::nullopt;
}

std::optional<TRolandMessage> ReadRolandMessage(std::span<const std::uint8_t> message)
{
    const std::optional<THeader> header = ReadHeader(message);
    if (!header || message.size() < header->Size + 2 || message.back() != SysExEnd)
        return std::nullopt;
    const std::size_t checksumAt = message.size() - 2;
    return TRolandMessage {*header, message.subspan(header->Size, checksumAt - header->Size),
                           message[checksumAt]};
}

std::uint8_t TRolandMessage::ExpectedChecksum() const
{
    return midi::RolandChecksum(Body.data(), Body.size());
}

bool TRolandMessage::IsDataSet() const
{
    return Header.Command == CommandDataSet;
}

bool TRolandMessage::IsRequest() const
{
    return Header.Command == CommandRequest;
}

std::optional<TAddress> TRolandMessage::Address() const
{
    if (Header.Model != TModel::Instrument || Body.size() < AddressSize)
        return std::nullopt;
    return TAddress {Body[0], Body[1], Body[2], Body[3]};
}

std::span<const std::uint8_t> TRolandMessage::AfterAddress() const
{
    if (!Address())
        return {};
    return Body.subspan(AddressSize);
}

} // namespace sysex
