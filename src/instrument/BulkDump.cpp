#include "BulkDump.h"

#include "sysex/RolandMessage.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

namespace instrument {

namespace {

constexpr std::uint8_t SysExStart = 0xF0;
constexpr std::uint8_t SysExEnd = 0xF7;

std::string Hex(std::uint8_t byte)
{
    char text[3];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

TDumpRead Refused(std::string why)
{
    TDumpRead read;
    read.Error = std::move(why);
    return read;
}

std::string AtByte(std::size_t offset)
{
    return " at byte " + std::to_string(offset);
}

} // namespace

std::optional<TRolandDataSet> AsRolandDataSet(std::span<const std::uint8_t> message)
{
    const std::optional<sysex::TRolandMessage> roland = sysex::ReadRolandMessage(message);
    if (!roland || roland->Header.Model != sysex::TModel::Instrument || !roland->IsDataSet())
        return std::nullopt;
    const std::optional<sysex::TAddress> address = roland->Address();
    if (!address)
        return std::nullopt;
    return TRolandDataSet {roland->Header.Device, *address, roland->AfterAddress(),
                           roland->ChecksumHolds()};
}

TDumpRead ParseDump(std::span<const std::uint8_t> bytes)
{
    TDumpRead read;
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (bytes[at] != SysExStart)
            return Refused("has a stray byte " + Hex(bytes[at]) + AtByte(at)
                           + ", outside a System Exclusive message");
        std::size_t end = at + 1;
        while (end < bytes.size() && bytes[end] < 0x80)
            ++end;
        if (end == bytes.size())
            return Refused("has a message cut short" + AtByte(at)
                           + ": the file ends before its F7");
        if (bytes[end] != SysExEnd)
            return Refused("has a message cut short" + AtByte(at) + ": status byte "
                           + Hex(bytes[end]) + " before its F7");
        const auto message = bytes.subspan(at, end + 1 - at);
        const std::size_t start = at;
        at = end + 1;
        const auto dataSet = AsRolandDataSet(message);
        if (!dataSet) {
            ++read.Dump.Skipped;
            continue;
        }
        if (!dataSet->ChecksumHolds)
            return Refused("has a data set with a bad checksum" + AtByte(start));
        if (dataSet->Data.empty())
            return Refused("has a data set without data" + AtByte(start));
        read.Dump.DataSets.push_back(
            {dataSet->Address, TBytes(dataSet->Data.begin(), dataSet->Data.end())});
    }
    if (read.Dump.DataSets.empty())
        return Refused("holds no data set of the MC-307 (" + std::to_string(read.Dump.Skipped)
                       + " other messages)");
    return read;
}

TDumpRead ReadDumpFile(const std::filesystem::path &path)
{
    const std::string named = "the file \"" + path.string() + "\" ";
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status))
        return Refused(named + "does not exist");
    if (std::filesystem::is_directory(status))
        return Refused(named + "is a directory");
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > MaxDumpFileBytes)
        return Refused(named + "is too large for a bulk dump (" + std::to_string(size)
                       + " bytes, at most " + std::to_string(MaxDumpFileBytes) + ")");
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return Refused(named + "cannot be read: "
                       + (errno != 0 ? std::strerror(errno) : "it cannot be opened"));
    // Read with a bound of its own: the file may have grown since its size was asked.
    TBytes bytes;
    bytes.reserve(error ? 0 : static_cast<std::size_t>(size));
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + file.gcount());
        if (bytes.size() > MaxDumpFileBytes)
            return Refused(named + "is too large for a bulk dump (at most "
                           + std::to_string(MaxDumpFileBytes) + " bytes)");
    }
    if (file.bad())
        return Refused(named + "cannot be read: " + std::strerror(errno));
    TDumpRead read = ParseDump(bytes);
    if (!read.Error.empty())
        read.Error = named + read.Error;
    return read;
}

} // namespace instrument
