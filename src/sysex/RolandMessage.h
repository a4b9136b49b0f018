#pragma once

// The one place that knows the frame of a Roland message: F0 41, the device byte, the model
// (the instrument's 00 0B, or the mixer's 3A), the command (11 a request, 12 a data set), then
// for the instrument's model four address bytes, the data or the size, a checksum and F7. Here
// messages are built, recognised and checked; the checksum itself is the hex-text conversion's
// (midi/SysExText.h).

#include "midi/SysExText.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sysex {

inline constexpr std::uint8_t RolandId = 0x41;
// The MC-307's model ID and, in its Identity Reply, its family code.
inline constexpr std::array<std::uint8_t, 2> ModelId {0x00, 0x0B};
inline constexpr std::array<std::uint8_t, 2> FamilyCode {0x0B, 0x01};
inline constexpr std::uint8_t Model3AId = 0x3A;
inline constexpr std::uint8_t CommandRequest = 0x11;
inline constexpr std::uint8_t CommandDataSet = 0x12;
// F0 41 dd 00 0B cmd, then the address; the mixer's F0 41 dd 3A cmd, then its part byte.
inline constexpr std::size_t HeaderSize = 6;
inline constexpr std::size_t Model3AHeaderSize = 5;
inline constexpr std::size_t AddressSize = 4;
// Header, address, at least one data byte, checksum and F7.
inline constexpr std::size_t SmallestDataSet = HeaderSize + AddressSize + 3;
// Header, address, four size bytes, checksum and F7.
inline constexpr std::size_t RequestSize = HeaderSize + 2 * AddressSize + 2;

using TAddress = std::array<std::uint8_t, 4>;

// The device byte of a device ID: ID - 1, or 10 hex (the instrument's factory ID 17) for an ID
// that gives no 7-bit data byte, such as 0 while no settings file has been read.
int DeviceByte(int deviceId);

// The headers as hex text ending with one blank, so that an address text can follow directly.
std::string DataSetHeader(int deviceId); // F0 41 dd 00 0B 12
std::string DataRequestHeader(int deviceId); // F0 41 dd 00 0B 11
std::string Model3AHeader(int deviceId); // 00 F0 41 dd 3A 12

// A whole data set of the instrument's model that writes data from address on.
midi::TByteStream DataSetMessage(std::uint8_t deviceByte, const TAddress &address,
                                 std::span<const std::uint8_t> data);
// A whole request of size bytes from address.
midi::TByteStream RequestMessage(std::uint8_t deviceByte, const TAddress &address,
                                 std::uint32_t size);

// The instrument takes at most 128 data bytes in one data set: the program's own data beyond
// that (a patch file) goes as several data sets, each a whole message with its own address and
// checksum, the addresses following one another in the instrument's 7-bit address space.
inline constexpr std::size_t MaxPacketData = 128;
// The data sets that write data from address on, for the device ID; none for no data.
std::vector<midi::TByteStream> DataSetPackets(int deviceId, const TAddress &address,
                                              std::span<const std::uint8_t> data);

enum class TModel { Instrument, Model3A };

// The program sends a 00 ahead of each model-3A message; it is no part of the message. The
// message without it, or the message as it is.
std::span<const std::uint8_t> WithoutModel3ALead(std::span<const std::uint8_t> message);

// What a message's header says: F0 41 dd 00 0B cmd or F0 41 dd 3A cmd, with at least one byte
// after it. Nothing beyond the header is looked at.
struct THeader
{
    std::uint8_t Device;
    TModel Model;
    std::uint8_t Command;
    std::size_t Size; // of the header: where the address (or the mixer's part byte) starts
};
std::optional<THeader> ReadHeader(std::span<const std::uint8_t> message);

// A whole Roland message: a header, at least a checksum after it, and F7 last.
struct TRolandMessage
{
    THeader Header;
    // From the end of the header to the checksum: the instrument's address and data (or size),
    // the mixer's part, function and value.
    std::span<const std::uint8_t> Body;
    std::uint8_t Checksum;
    // What the checksum should be for this body.
    std::uint8_t ExpectedChecksum() const;
    bool ChecksumHolds() const { return Checksum == ExpectedChecksum(); }
    bool IsDataSet() const;
    bool IsRequest() const;
    // The instrument's model: the address, and what follows it (the data, or a request's size).
    // Empty when the body is shorter than an address.
    std::optional<TAddress> Address() const;
    std::span<const std::uint8_t> AfterAddress() const;
};
std::optional<TRolandMessage> ReadRolandMessage(std::span<const std::uint8_t> message);

} // namespace sysex
