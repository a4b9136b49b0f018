#include "MfxFile.h"

#include "RolandMessage.h"
#include "SysExFile.h"

#include <algorithm>

namespace sysex::mfx {

namespace {

std::string Hex(int value)
{
    return midi::HexByte(value & 0xFF);
}

TMfxFileRead Refused(std::size_t offset, std::string why)
{
    TMfxFileRead read;
    read.Error = TMfxFileError {offset, std::move(why)};
    return read;
}

// Where the type byte lies in a data set of the pattern common block that holds all thirteen
// values, counted from the message's first byte.
std::optional<std::size_t> TypeByteAt(const TRolandMessage &dataSet)
{
    const std::optional<TAddress> address = dataSet.Address();
    if (!address || !std::equal(address->begin(), address->begin() + 3, TypeAddress.begin())
        || (*address)[3] > TypeAddress[3])
        return std::nullopt;
    const std::size_t skip = TypeAddress[3] - (*address)[3];
    if (dataSet.AfterAddress().size() < skip + ValueCount)
        return std::nullopt;
    return HeaderSize + AddressSize + skip;
}

} // namespace

TMfxFileRead ReadMfxFile(std::span<const std::uint8_t> bytes)
{
    TMfxFileRead read;
    std::size_t valuesAt = 0;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto next = FileMessageAt(bytes, at);
        if (const auto *fault = std::get_if<TFileFault>(&next))
            return Refused(fault->Offset, fault->Why);
        const auto message = std::get<std::span<const std::uint8_t>>(next);
        const std::size_t start = at;
        at += message.size();
        const std::optional<TRolandMessage> roland = ReadRolandMessage(message);
        const std::optional<std::size_t> typeAt
            = roland && roland->Header.Model == TModel::Instrument && roland->IsDataSet()
            ? TypeByteAt(*roland)
            : std::nullopt;
        if (!typeAt) {
            ++read.Skipped;
            continue;
        }
        if (!roland->ChecksumHolds())
            return Refused(start,
                           "bad checksum " + Hex(roland->Checksum) + ", should be "
                               + Hex(roland->ExpectedChecksum()));
        if (read.Values) {
            ++read.Skipped;
            continue;
        }
        TValues values {};
        for (int v = 0; v < ValueCount; ++v)
            values[static_cast<std::size_t>(v)] = message[*typeAt + static_cast<std::size_t>(v)];
        read.Values = values;
        valuesAt = start + *typeAt;
    }
    if (!read.Values)
        return Refused(0, "no MFX data (" + std::to_string(read.Skipped) + " other messages)");
    const int type = (*read.Values)[0];
    for (int v = 0; v < ValueCount; ++v) {
        const TMfxParam *param = ParamOf(type, v);
        const int byte = (*read.Values)[static_cast<std::size_t>(v)];
        if (param && !CheckValue(*param, byte).InRange)
            return Refused(valuesAt + static_cast<std::size_t>(v),
                           std::string(param->Name) + " " + std::to_string(byte)
                               + " outside its range 0.." + std::to_string(param->Max));
    }
    return read;
}

midi::TByteStream MfxFileBytes(const TValues &values, int deviceId)
{
    std::array<std::uint8_t, ValueCount> data {};
    for (std::size_t v = 0; v < data.size(); ++v)
        data[v] = static_cast<std::uint8_t>(std::clamp(values[v], 0, 0x7F));
    return DataSetMessage(static_cast<std::uint8_t>(DeviceByte(deviceId)), TypeAddress, data);
}

} // namespace sysex::mfx
