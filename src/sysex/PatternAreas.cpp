#include "PatternAreas.h"

#include "MixerParams.h"
#include "PatternMessages.h"
#include "RhythmParams.h"
#include "RolandMessage.h"
#include "ToneParams.h"

#include <algorithm>

namespace sysex::areas {

namespace {

constexpr std::uint8_t U8(int value)
{
    return static_cast<std::uint8_t>(value);
}

constexpr int PartSetupSize = 9;
constexpr int CommonTailOffset = 0x22;
constexpr int CommonTailSize = 10;
constexpr std::uint8_t PartSetupFirstByte = 0x40;
constexpr std::uint8_t NotesArea = 0x40;
// In a part setup, the copies of the part's level and pan.
constexpr int PartSetupLevelOffset = 0x03;
constexpr int PartSetupPanOffset = 0x04;

constexpr std::size_t AreaCount
    = 1 + 7 + 1 + 1 + 7 * 5 + rhythm::BlockCount + MaxNotesPages + 2 + 8;

constexpr std::array<TArea, AreaCount> Table = [] {
    std::array<TArea, AreaCount> areas {};
    std::size_t n = 0;
    const int partSize = mixer::BlockInfo(mixer::TBlock::PatternPart).Size;
    areas[n++] = {{0x01, 0x00, 0x00, 0x00}, pattern::CommonSize,
                  TKind::PatternCommon,     0,
                  TGroup::Pattern,          true};
    for (int part = 1; part <= 7; ++part)
        areas[n++] = {{0x01, 0x00, mixer::PartBlockByte(part), 0x00},
                      partSize,
                      TKind::PatternPart,
                      part - 1,
                      TGroup::Pattern,
                      true};
    areas[n++] = {{0x01, 0x00, 0x00, U8(CommonTailOffset)},
                  CommonTailSize,
                  TKind::CommonTail,
                  0,
                  TGroup::Pattern,
                  false};
    areas[n++] = {{0x01, 0x00, mixer::PartBlockByte(8), 0x00},
                  partSize,
                  TKind::PatternPart,
                  7,
                  TGroup::Pattern,
                  true};
    for (int part = 0; part < 7; ++part) {
        areas[n++] = {{0x02, U8(part), 0x00, 0x00},
                      PatchCommonSize,
                      TKind::PatchCommon,
                      part,
                      TGroup::Patches,
                      true};
        for (int tone = 0; tone < 4; ++tone)
            areas[n++] = {{0x02, U8(part), U8(0x10 + 2 * tone), 0x00},
                          ToneBlockSize,
                          TKind::Tone,
                          part * 4 + tone,
                          TGroup::Patches,
                          true};
    }
    areas[n++] = {{rhythm::Area, rhythm::SubArea, rhythm::NameBlockByte, 0x00},
                  rhythm::NameSize,
                  TKind::RhythmName,
                  0,
                  TGroup::Rhythm,
                  true};
    for (int key = rhythm::FirstKey; key <= rhythm::LastKey; ++key)
        areas[n++] = {{rhythm::Area, rhythm::SubArea, U8(key), 0x00},
                      rhythm::KeyBlockSize,
                      TKind::RhythmKey,
                      key,
                      TGroup::Rhythm,
                      true};
    for (int page = 0; page < MaxNotesPages; ++page)
        areas[n++] = {{NotesArea, 0x00, U8(page), 0x00},
                      NotesPageSize,
                      TKind::NotesPage,
                      page,
                      TGroup::Notes,
                      true};
    areas[n++] = {pattern::SetupAddress, pattern::SetupSize, TKind::Setup, 0, TGroup::Setup, true};
    areas[n++] = {
        pattern::EffectsAddress, pattern::EffectsSize, TKind::SetupEffects, 0, TGroup::Setup, true};
    for (int part = 0; part < 8; ++part)
        areas[n++] = {{0x30, 0x00, U8(PartSetupFirstByte + part), 0x00},
                      PartSetupSize,
                      TKind::PartSetup,
                      part,
                      TGroup::Setup,
                      true};
    return areas;
}();

std::string PartText(int index)
{
    return index == 7 ? std::string("Part R") : "Part " + std::to_string(index + 1);
}

std::string Hex(const TAddress &address)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t byte : address) {
        if (!text.empty())
            text += ' ';
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

// The rank of a data set in the dump's order: its area's place; after every area when it
// writes none.
std::size_t RankOf(const TDumpMessage &message)
{
    const TArea *area = AreaAt(message.Address);
    return area ? static_cast<std::size_t>(area - Table.data()) : Table.size();
}

} // namespace

std::span<const TArea> Areas()
{
    return Table;
}

std::uint32_t Linear(const TAddress &address)
{
    return (std::uint32_t(address[0] & 0x7F) << 21) | (std::uint32_t(address[1] & 0x7F) << 14)
        | (std::uint32_t(address[2] & 0x7F) << 7) | std::uint32_t(address[3] & 0x7F);
}

TAddress FromLinear(std::uint32_t linear)
{
    return {U8((linear >> 21) & 0x7F), U8((linear >> 14) & 0x7F), U8((linear >> 7) & 0x7F),
            U8(linear & 0x7F)};
}

const TArea *AreaAt(const TAddress &address)
{
    const std::uint32_t at = Linear(address);
    // The common block's tail lies inside the block: the block answers for its bytes.
    for (const TArea &area : Table)
        if (area.Read && at >= Linear(area.Address)
            && at < Linear(area.Address) + static_cast<std::uint32_t>(area.Size))
            return &area;
    return nullptr;
}

std::string AreaName(const TArea &area)
{
    switch (area.Kind) {
    case TKind::PatternCommon:
        return "Pattern common";
    case TKind::PatternPart:
        return PartText(area.Index) + " block";
    case TKind::CommonTail:
        return "Pattern common " + Hex(area.Address);
    case TKind::PatchCommon:
        return PartText(area.Index) + " patch common";
    case TKind::Tone:
        return PartText(area.Index / 4) + " tone " + std::to_string(area.Index % 4 + 1);
    case TKind::RhythmName:
        return "Rhythm set name";
    case TKind::RhythmKey:
        return "Rhythm key " + std::to_string(area.Index);
    case TKind::NotesPage:
        return "Notes page " + std::to_string(area.Index + 1);
    case TKind::Setup:
        return "Pattern setup";
    case TKind::SetupEffects:
        return "Pattern effects";
    case TKind::PartSetup:
        return PartText(area.Index) + " setup";
    }
    return {};
}

std::string GroupName(const TArea &area)
{
    switch (area.Group) {
    case TGroup::Pattern:
        return "common";
    case TGroup::Patches:
        return "part "
            + std::to_string(area.Kind == TKind::Tone ? area.Index / 4 + 1 : area.Index + 1)
            + "'s patch";
    case TGroup::Rhythm:
        return "rhythm set";
    case TGroup::Notes:
        return "notes";
    case TGroup::Setup:
        return "setup";
    }
    return {};
}

TDumpFile ReadDump(std::span<const std::uint8_t> bytes)
{
    TDumpFile file;
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (bytes[at] != 0xF0) {
            file = {};
            file.Error = "a stray byte at offset " + std::to_string(at);
            return file;
        }
        std::size_t end = at + 1;
        while (end < bytes.size() && bytes[end] < 0x80)
            ++end;
        if (end == bytes.size() || bytes[end] != 0xF7) {
            file = {};
            file.Error = "a message cut short at offset " + std::to_string(at);
            return file;
        }
        const auto message = bytes.subspan(at, end + 1 - at);
        const auto roland = ReadRolandMessage(message);
        const auto address = roland ? roland->Address() : std::nullopt;
        if (roland && roland->Header.Model == TModel::Instrument && roland->IsDataSet() && address
            && !roland->AfterAddress().empty()) {
            const auto data = roland->AfterAddress();
            file.DataSets.push_back({at, midi::TByteStream(message.begin(), message.end()),
                                     roland->Header.Device, *address,
                                     std::vector<std::uint8_t>(data.begin(), data.end()),
                                     roland->ChecksumHolds()});
        } else {
            ++file.Other;
        }
        at = end + 1;
    }
    return file;
}

std::vector<TDumpMessage> InDumpOrder(std::vector<TDumpMessage> messages)
{
    std::stable_sort(
        messages.begin(), messages.end(),
        [](const TDumpMessage &a, const TDumpMessage &b) { return RankOf(a) < RankOf(b); });
    return messages;
}

std::vector<TDumpMessage> InRestoreOrder(std::vector<TDumpMessage> messages)
{
    std::stable_partition(messages.begin(), messages.end(),
                          [](const TDumpMessage &m) { return m.Address[0] != 0x02; });
    return messages;
}

TImage ImageOf(std::span<const TDumpMessage> messages)
{
    TImage image;
    for (const TDumpMessage &message : messages) {
        const std::uint32_t start = Linear(message.Address);
        for (std::size_t k = 0; k < message.Data.size(); ++k)
            image[start + static_cast<std::uint32_t>(k)] = message.Data[k];
    }
    return image;
}

std::vector<TByteDifference> Differences(const TImage &first, const TImage &second)
{
    std::vector<TByteDifference> found;
    auto a = first.begin();
    auto b = second.begin();
    while (a != first.end() || b != second.end()) {
        if (b == second.end() || (a != first.end() && a->first < b->first)) {
            found.push_back({a->first, a->second, std::nullopt});
            ++a;
        } else if (a == first.end() || b->first < a->first) {
            found.push_back({b->first, std::nullopt, b->second});
            ++b;
        } else {
            if (a->second != b->second)
                found.push_back({a->first, a->second, b->second});
            ++a;
            ++b;
        }
    }
    return found;
}

bool IsCopiedValue(std::uint32_t address)
{
    const TArea *area = AreaAt(FromLinear(address));
    if (!area)
        return false;
    const auto offset = static_cast<int>(address - Linear(area->Address));
    if (area->Kind == TKind::PartSetup)
        return offset == PartSetupLevelOffset || offset == PartSetupPanOffset;
    if (area->Kind == TKind::PatternPart)
        return offset == mixer::OffsetOf(mixer::TFieldId::Level)
            || offset == mixer::OffsetOf(mixer::TFieldId::Pan);
    return false;
}

std::vector<TAreaCheck> CheckAreas(std::span<const TDumpMessage> written, const TImage &readBack)
{
    // Each area's written bytes, in the dump's order of the areas.
    std::map<const TArea *, TImage> byArea;
    for (const TDumpMessage &message : written) {
        const std::uint32_t start = Linear(message.Address);
        for (std::size_t k = 0; k < message.Data.size(); ++k) {
            const std::uint32_t at = start + static_cast<std::uint32_t>(k);
            if (const TArea *area = AreaAt(FromLinear(at)))
                byArea[area][at] = message.Data[k];
        }
    }
    std::vector<TAreaCheck> checks;
    for (const TArea &area : Table) {
        const auto found = byArea.find(&area);
        if (found == byArea.end())
            continue;
        TAreaCheck check {&area, area.Address, TAreaCheck::Equal, std::nullopt};
        bool anyAnswered = false;
        bool onlyCopies = true;
        for (const auto &[at, byte] : found->second) {
            const auto back = readBack.find(at);
            anyAnswered = anyAnswered || back != readBack.end();
            if (back != readBack.end() && back->second == byte)
                continue;
            if (!check.FirstDifference)
                check.FirstDifference = FromLinear(at);
            onlyCopies = onlyCopies && back != readBack.end() && IsCopiedValue(at);
        }
        if (!anyAnswered)
            check.Outcome = TAreaCheck::NotAnswered;
        else if (check.FirstDifference)
            check.Outcome = onlyCopies ? TAreaCheck::CopyDiffers : TAreaCheck::Differs;
        checks.push_back(check);
    }
    return checks;
}

} // namespace sysex::areas
