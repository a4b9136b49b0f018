#include "PatchFile.h"

#include "PatchMessages.h"
#include "RolandMessage.h"
#include "SysExFile.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace sysex {

namespace {

constexpr int PartCount = 7;

std::string Hex(int value)
{
    return midi::HexByte(value & 0xFF);
}

// The first and the page after the last of the block a page belongs to; none for a page of no
// patch block. The patch common runs up to the first tone, each tone over two pages.
std::optional<std::pair<int, int>> BlockPages(int page)
{
    if (page < 0x10)
        return std::pair {0x00, 0x10};
    if (page >= 0x10 && page <= 0x17) {
        const int first = page & ~1;
        return std::pair {first, first + 2};
    }
    return std::nullopt;
}

bool IsOurDataSet(std::span<const std::uint8_t> message)
{
    const std::optional<THeader> header = ReadHeader(message);
    return header && header->Model == TModel::Instrument && header->Command == CommandDataSet;
}

// Where a data set writes: its page and offset, and its count of data bytes.
struct TSpan
{
    int Page;
    int Offset;
    std::size_t Size;
};

// The blocks the spans do not cover from their start without a hole; with wholeSize, also those
// that end short of the block's size on the instrument.
std::vector<std::string> MissingBlocks(const std::vector<TSpan> &spans, bool wholeSize)
{
    static constexpr std::array<int, 5> FirstPages {0x00, 0x10, 0x12, 0x14, 0x16};
    static constexpr std::array<const char *, 5> Names {"Common", "Tone 1", "Tone 2", "Tone 3",
                                                        "Tone 4"};
    static constexpr std::size_t Common = PatchCommonSize;
    static constexpr std::size_t Tone = ToneBlockSize;
    static constexpr std::array<std::size_t, 5> Sizes {Common, Tone, Tone, Tone, Tone};
    std::vector<std::string> missing;
    for (std::size_t block = 0; block < FirstPages.size(); ++block) {
        const auto pages = BlockPages(FirstPages[block]);
        // Ranges in bytes from the block's start.
        std::vector<std::pair<std::size_t, std::size_t>> ranges;
        for (const TSpan &span : spans) {
            if (span.Page < pages->first || span.Page >= pages->second)
                continue;
            const std::size_t from = std::size_t(span.Page - pages->first) * 128 + span.Offset;
            ranges.emplace_back(from, from + span.Size);
        }
        std::sort(ranges.begin(), ranges.end());
        std::size_t reached = 0;
        bool whole = !ranges.empty();
        for (const auto &[from, to] : ranges) {
            if (from > reached) {
                whole = false;
                break;
            }
            reached = std::max(reached, to);
        }
        if (!whole || (wholeSize && reached < Sizes[block]))
            missing.emplace_back(Names[block]);
    }
    return missing;
}

TPatchFileRead Refused(std::size_t offset, std::string why)
{
    TPatchFileRead read;
    read.Error = TPatchFileError {offset, std::move(why)};
    return read;
}

} // namespace

TPatchFileRead ParsePatchFile(std::span<const std::uint8_t> bytes)
{
    TPatchFileRead read;
    int others = 0;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto next = FileMessageAt(bytes, at);
        if (const auto *fault = std::get_if<TFileFault>(&next))
            return Refused(fault->Offset, fault->Why);
        const auto message = std::get<std::span<const std::uint8_t>>(next);
        const std::size_t start = at;
        at += message.size();
        if (!IsOurDataSet(message) || message.size() < HeaderSize + 2
            || message[HeaderSize] != 0x02) {
            ++others;
            continue;
        }
        if (message.size() < SmallestDataSet)
            return Refused(start,
                           "data set too short: " + std::to_string(message.size()) + " bytes");
        const TRolandMessage dataSet = *ReadRolandMessage(message);
        const auto body = dataSet.Body;
        if (!dataSet.ChecksumHolds())
            return Refused(start,
                           "bad checksum " + Hex(dataSet.Checksum) + ", should be "
                               + Hex(dataSet.ExpectedChecksum()));
        const int messagePart = body[1];
        const int page = body[2];
        const int offset = body[3];
        const auto pages = BlockPages(page);
        if (messagePart >= PartCount || !pages) {
            ++others;
            continue;
        }
        const std::size_t dataSize = body.size() - AddressSize;
        const std::size_t room = std::size_t(pages->second - page) * 128 - std::size_t(offset);
        if (dataSize > room)
            return Refused(start,
                           std::to_string(dataSize)
                               + " data bytes run past the end of "
                                 "their block ("
                               + std::to_string(room) + " left)");
        auto patch = std::find_if(read.Parts.begin(), read.Parts.end(),
                                  [&](const TPatchFile &file) { return file.Part == messagePart; });
        if (patch == read.Parts.end())
            patch = read.Parts.insert(read.Parts.end(), TPatchFile {messagePart, {}, 0});
        patch->Messages.push_back({static_cast<std::uint8_t>(page),
                                   static_cast<std::uint8_t>(offset),
                                   {body.begin() + AddressSize, body.end()}});
    }
    if (read.Parts.empty())
        return Refused(0, "no patch data (" + std::to_string(others) + " other messages)");
    std::size_t patchMessages = 0;
    for (const TPatchFile &file : read.Parts)
        patchMessages += file.Messages.size();
    // Each part's patch skips what is not its own, the other parts' patches included.
    for (TPatchFile &file : read.Parts)
        file.Skipped = others + int(patchMessages - file.Messages.size());
    read.File = read.Parts.front();
    std::sort(read.Parts.begin(), read.Parts.end(),
              [](const TPatchFile &a, const TPatchFile &b) { return a.Part < b.Part; });
    return read;
}

std::vector<midi::TByteStream> PatchFileMessages(const TPatchFile &file, int deviceId, int part)
{
    std::vector<midi::TByteStream> out;
    for (const TPatchMessage &message : file.Messages) {
        auto packets = DataSetPackets(
            deviceId, {0x02, static_cast<std::uint8_t>(part & 0x7F), message.Page, message.Offset},
            message.Data);
        std::move(packets.begin(), packets.end(), std::back_inserter(out));
    }
    return out;
}

std::optional<std::string> PatchFileName(const TPatchFile &file)
{
    std::array<std::uint8_t, patch::PatchNameSize> bytes {};
    std::size_t found = 0;
    for (const TPatchMessage &message : file.Messages)
        for (std::size_t i = 0; i < message.Data.size(); ++i)
            if (const std::size_t at = message.Offset + i;
                message.Page == 0x00 && at < bytes.size()) {
                bytes[at] = message.Data[i];
                found |= std::size_t(1) << at;
            }
    if (found != (std::size_t(1) << bytes.size()) - 1)
        return std::nullopt;
    return patch::PatchNameFromBytes(bytes);
}

std::vector<std::string> MissingFileBlocks(const TPatchFile &file)
{
    std::vector<TSpan> spans;
    for (const TPatchMessage &message : file.Messages)
        spans.push_back({message.Page, message.Offset, message.Data.size()});
    return MissingBlocks(spans, true);
}

std::vector<std::string> MissingPatchBlocks(std::span<const midi::TByteStream> received, int part)
{
    std::vector<TSpan> spans;
    for (const midi::TByteStream &message : PatchBlockMessages(received, part))
        spans.push_back({message[HeaderSize + 2], message[HeaderSize + 3],
                         message.size() - SmallestDataSet + 1});
    // The program does not know the blocks' sizes on every instrument it may be given.
    return MissingBlocks(spans, false);
}

std::vector<midi::TByteStream> PatchBlockMessages(std::span<const midi::TByteStream> received,
                                                  int part)
{
    std::vector<midi::TByteStream> kept;
    for (const midi::TByteStream &message : received)
        if (IsOurDataSet(message) && message.size() >= SmallestDataSet && message.back() == 0xF7
            && message[HeaderSize] == 0x02 && message[HeaderSize + 1] == part
            && BlockPages(message[HeaderSize + 2]))
            kept.push_back(message);
    return kept;
}

} // namespace sysex
