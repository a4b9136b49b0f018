#include "VirtualInstrument.h"

#include "PatternContents.h"
#include "RhythmContents.h"

#include "sysex/IdentityMessages.h"
#include "sysex/MixerParams.h"
#include "sysex/RhythmParams.h"
#include "sysex/RolandMessage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace instrument {

namespace {

constexpr std::uint8_t SysExStart = 0xF0;
constexpr std::uint8_t SysExEnd = 0xF7;
constexpr std::uint8_t ControlChange = 0xB0;
constexpr std::uint8_t NoteOff = 0x80;
constexpr std::uint8_t NoteOn = 0x90;
constexpr std::uint8_t UniversalNonRealTime = 0x7E;
constexpr std::uint8_t AllDevices = 0x7F;
constexpr std::uint8_t GeneralInformation = 0x06;
constexpr std::uint8_t IdentityRequest = 0x01;
// 10 bits a byte at 31250 baud.
constexpr std::chrono::microseconds CableByteTime {320};

// The part byte, the function byte, the value and a closing byte.
constexpr std::size_t Model3APayloadSize = 4;

constexpr int RhythmChannelIndex = 9; // MIDI channel 10

constexpr TAddress SystemAddress {0x00, 0x00, 0x00, 0x00};
constexpr TAddress PatternCommonAddress {0x01, 0x00, 0x00, 0x00};

constexpr TAddress PatternPartAddress(std::uint8_t blockByte)
{
    return {0x01, 0x00, blockByte, 0x00};
}
constexpr TAddress PatchCommonAddress(int part)
{
    return {0x02, static_cast<std::uint8_t>(part), 0x00, 0x00};
}
constexpr TAddress ToneAddress(int part, int tone)
{
    return {0x02, static_cast<std::uint8_t>(part), ToneBlockBytes[tone], 0x00};
}

TAddress AddressAt(std::span<const std::uint8_t> bytes)
{
    return {bytes[0], bytes[1], bytes[2], bytes[3]};
}

// The held piece that holds address, else the first one after it.
template<typename THeld>
auto PieceAtOrAfter(THeld &held, std::uint64_t address)
{
    auto piece = held.upper_bound(static_cast<std::uint32_t>(address));
    if (piece != held.begin()) {
        const auto before = std::prev(piece);
        if (before->first + before->second.size() > address)
            return before;
    }
    return piece;
}

// Calls visit(blockStart, blockBytes, from, to) where [start, end) overlaps the bytes of a block
// or a held piece that start at blockStart, [from, to) being the overlap.
template<typename TBytesOfBlock, typename TVisit>
void VisitOverlap(std::uint32_t blockStart, TBytesOfBlock &bytes, std::uint64_t start,
                  std::uint64_t end, TVisit &visit)
{
    const std::uint64_t from = std::max<std::uint64_t>(start, blockStart);
    const std::uint64_t to = std::min<std::uint64_t>(end, blockStart + bytes.size());
    if (from < to)
        visit(blockStart, bytes, from, to);
}

template<typename TBlocks, typename TVisit>
void VisitBlocks(TBlocks &blocks, std::uint64_t start, std::uint64_t end, TVisit &&visit)
{
    for (auto &block : blocks)
        VisitOverlap(block.Start, block.Bytes, start, end, visit);
}

// The blocks and the held pieces merged in address order: a held area has blocks inside it.
template<typename TBlocks, typename THeld, typename TVisit>
void VisitRange(TBlocks &blocks, THeld &held, std::uint64_t start, std::uint64_t end,
                TVisit &&visit)
{
    auto piece = PieceAtOrAfter(held, start);
    const auto piecesBefore = [&](std::uint64_t limit) {
        for (; piece != held.end() && piece->first < std::min(limit, end); ++piece)
            VisitOverlap(piece->first, piece->second, start, end, visit);
    };
    for (auto &block : blocks) {
        piecesBefore(block.Start);
        VisitOverlap(block.Start, block.Bytes, start, end, visit);
    }
    piecesBefore(end);
}

} // namespace

TVirtualInstrument::TVirtualInstrument(int deviceId)
    : Id(deviceId)
    , DeviceByte(static_cast<std::uint8_t>((deviceId - 1) & 0x7F))
{
    auto add = [this](const TAddress &address, TBytes bytes) {
        Blocks.push_back({LinearAddress(address), std::move(bytes)});
    };
    add(SystemAddress, InitialSystemBlock());
    const TBytes common = InitialPatternCommon();
    add(PatternCommonAddress, common);
    add(sysex::pattern::SetupAddress, InitialPatternSetup());
    add(sysex::pattern::EffectsAddress, InitialPatternEffects(common));
    for (int index = 0; index < PatternPartCount; ++index)
        add(PatternPartAddress(PatternPartBlockBytes[index]), InitialPatternPart(index));
    const std::array<TPatch, PatchPartCount> patches = InitialPatches();
    for (int part = 0; part < PatchPartCount; ++part) {
        add(PatchCommonAddress(part), patches[part].Common);
        for (int tone = 0; tone < ToneCount; ++tone)
            add(ToneAddress(part, tone), patches[part].Tones[tone]);
    }
    add(sysex::rhythm::BlockAddress(sysex::rhythm::NameBlock), InitialRhythmName());
    for (int note = sysex::rhythm::FirstKey; note <= sysex::rhythm::LastKey; ++note)
        add(sysex::rhythm::BlockAddress(sysex::rhythm::BlockOfKey(note)), InitialRhythmKey(note));
    std::sort(Blocks.begin(), Blocks.end(),
              [](const TBlock &a, const TBlock &b) { return a.Start < b.Start; });
    const char *strict = std::getenv("OMBRIX_STRICT_TIMING");
    Strict = strict != nullptr && std::strcmp(strict, "1") == 0;
}

void TVirtualInstrument::SetStrictTiming(bool strict, std::chrono::microseconds tolerance)
{
    std::lock_guard lock(Lock);
    Strict = strict;
    Tolerance = tolerance;
}

bool TVirtualInstrument::StrictTiming() const
{
    std::lock_guard lock(Lock);
    return Strict;
}

std::uint64_t TVirtualInstrument::StrictDrops() const
{
    std::lock_guard lock(Lock);
    return Drops;
}

std::uint64_t TVirtualInstrument::MfxRangeFaults() const
{
    std::lock_guard lock(Lock);
    return MfxFaults;
}

std::vector<TMessage> TVirtualInstrument::Receive(std::span<const std::uint8_t> message)
{
    return Receive(message, std::chrono::steady_clock::now());
}

std::vector<TMessage> TVirtualInstrument::Receive(std::span<const std::uint8_t> message,
                                                  std::chrono::steady_clock::time_point handed,
                                                  std::chrono::microseconds leeway)
{
    std::lock_guard lock(Lock);
    ++ReceivedTotal;
    if (ReceivedLimit > 0) {
        if (Received.size() >= ReceivedLimit)
            Received.pop_front();
        Received.emplace_back(message.begin(), message.end());
    }

    const auto start = std::max(handed, CableFree);
    CableFree = start + CableByteTime * static_cast<long>(message.size());
    // The 00 the program sends ahead of a model-3A message is a lone data byte on the wire.
    message = sysex::WithoutModel3ALead(message);
    if (IsDataSet(message)) {
        // The instrument is still busy with the previous data set: this one is lost.
        const bool early
            = Strict && HadDataSet && start + Tolerance + leeway < LastDataSetEnd + StrictGap;
        HadDataSet = true;
        LastDataSetEnd = CableFree;
        if (early) {
            ++Drops;
            return {};
        }
    }

    std::vector<TMessage> answers;
    if (message.empty())
        return answers;
    if (message[0] == SysExStart)
        ReceiveSysEx(message, answers);
    else if ((message[0] & 0xF0) == ControlChange)
        ApplyControlChanges(message);
    else if (message.size() == 3 && (message[0] & 0x0F) == RhythmChannelIndex)
        CountRhythmNote(message);
    return answers;
}

bool TVirtualInstrument::IsDataSet(std::span<const std::uint8_t> message) const
{
    const std::optional<sysex::THeader> header = sysex::ReadHeader(message);
    return message.size() > sysex::HeaderSize && header && header->Device == DeviceByte
        && header->Command == sysex::CommandDataSet;
}

void TVirtualInstrument::ReceiveSysEx(std::span<const std::uint8_t> message,
                                      std::vector<TMessage> &answers)
{
    // A whole message ends with F7 and holds no other status byte; anything else is a broken
    // transmission, which the instrument drops.
    if (message.size() < 2 || message.back() != SysExEnd)
        return;
    const auto body = message.subspan(1, message.size() - 2);
    if (std::any_of(body.begin(), body.end(), [](std::uint8_t b) { return b >= 0x80; }))
        return;
    // The universal Inquiry Request, to every device (7F) or to this one, answered with the
    // identity the owner's manual gives: Roland, family 0B 01, number 01 00, revision 00 03 00 00.
    if (body.size() == 4 && body[0] == UniversalNonRealTime
        && (body[1] == AllDevices || body[1] == DeviceByte) && body[2] == GeneralInformation
        && body[3] == IdentityRequest) {
        answers.push_back(sysex::IdentityReply(DeviceByte));
        return;
    }
    const std::optional<sysex::TRolandMessage> roland = sysex::ReadRolandMessage(message);
    if (!roland || roland->Header.Device != DeviceByte || !roland->ChecksumHolds())
        return;
    if (roland->Header.Model == sysex::TModel::Model3A) {
        if (roland->IsDataSet() && roland->Body.size() == Model3APayloadSize)
            ApplyModel3A(roland->Body);
        return;
    }
    const std::span<const std::uint8_t> after = roland->AfterAddress();
    if (roland->IsRequest()) {
        if (after.size() != sysex::AddressSize)
            return;
        answers = AnswerRequest(LinearAddress(*roland->Address()), LinearAddress(AddressAt(after)));
    } else if (roland->IsDataSet()) {
        if (after.empty())
            return;
        if (Strict)
            OutOfRange += static_cast<std::uint64_t>(
                RhythmValuesOutOfRange(LinearAddress(*roland->Address()), after));
        StoreDataSet(LinearAddress(*roland->Address()), after);
    }
}

std::vector<TMessage> TVirtualInstrument::Answer(std::span<const std::uint8_t> request) const
{
    const std::optional<sysex::TRolandMessage> roland = sysex::ReadRolandMessage(request);
    if (request.size() != sysex::RequestSize || !roland
        || roland->Header.Model != sysex::TModel::Instrument || roland->Header.Device != DeviceByte
        || !roland->IsRequest() || !roland->ChecksumHolds())
        return {};
    std::lock_guard lock(Lock);
    return AnswerRequest(LinearAddress(*roland->Address()),
                         LinearAddress(AddressAt(roland->AfterAddress())));
}

std::vector<TMessage> TVirtualInstrument::AnswerRequest(std::uint32_t start,
                                                        std::uint32_t size) const
{
    std::vector<TMessage> answers;
    VisitRange(
        Blocks, Held, start, std::uint64_t(start) + size,
        [&](std::uint32_t blockStart, const TBytes &bytes, std::uint64_t from, std::uint64_t to) {
            const auto data = std::span(bytes).subspan(from - blockStart, to - from);
            answers.push_back(sysex::DataSetMessage(
                DeviceByte, AddressFromLinear(static_cast<std::uint32_t>(from)), data));
        });
    return answers;
}

void TVirtualInstrument::Store(std::uint32_t start, std::span<const std::uint8_t> bytes)
{
    const std::uint64_t end = std::uint64_t(start) + bytes.size();
    VisitBlocks(Blocks, start, end,
                [&](std::uint32_t blockStart, TBytes &block, std::uint64_t from, std::uint64_t to) {
                    std::copy(bytes.begin() + (from - start), bytes.begin() + (to - start),
                              block.begin() + (from - blockStart));
                });
    for (const THeldArea &area : HeldAreas) {
        const std::uint64_t areaStart = LinearAddress(area.Start);
        std::uint64_t from = std::max<std::uint64_t>(start, areaStart);
        const std::uint64_t to = std::min<std::uint64_t>(end, areaStart + area.Size);
        if (from >= to)
            continue;
        // Only the bytes between the blocks inside the area go to pieces.
        std::uint64_t at = from;
        for (const TBlock &block : Blocks) {
            const std::uint64_t blockEnd = block.Start + block.Bytes.size();
            if (blockEnd <= at || block.Start >= to)
                continue;
            if (block.Start > at)
                StoreHeld(start, bytes, at, block.Start);
            at = blockEnd;
        }
        if (at < to)
            StoreHeld(start, bytes, at, to);
    }
}

void TVirtualInstrument::StoreHeld(std::uint32_t start, std::span<const std::uint8_t> bytes,
                                   std::uint64_t from, std::uint64_t to)
{
    auto piece = PieceAtOrAfter(Held, from);
    std::uint64_t at = from;
    while (at < to) {
        if (piece != Held.end() && piece->first <= at) {
            const std::uint64_t until
                = std::min<std::uint64_t>(to, piece->first + piece->second.size());
            std::copy(bytes.begin() + (at - start), bytes.begin() + (until - start),
                      piece->second.begin() + (at - piece->first));
            at = until;
            ++piece;
            continue;
        }
        const std::uint64_t until
            = piece == Held.end() ? to : std::min<std::uint64_t>(to, piece->first);
        // Past the limits the bytes are lost, as a full memory loses them.
        if (HeldBytes + (until - at) <= HeldBytesLimit && Held.size() < HeldPieceLimit) {
            piece = Held.emplace_hint(
                piece, static_cast<std::uint32_t>(at),
                TBytes(bytes.begin() + (at - start), bytes.begin() + (until - start)));
            HeldBytes += until - at;
            ++piece;
        }
        at = until;
    }
}

void TVirtualInstrument::StoreDataSet(std::uint32_t start, std::span<const std::uint8_t> bytes)
{
    if (Strict)
        CheckMfxRange(start, bytes);
    Store(start, bytes);
    MirrorMfx(start, bytes);
    // Selecting a patch for a part copies that patch into the part's temporary patch, even when
    // the selection names the patch already there: the edits made to it are lost.
    const std::uint64_t end = std::uint64_t(start) + bytes.size();
    for (int part = 0; part < PatchPartCount; ++part) {
        const std::uint32_t block = LinearAddress(PatternPartAddress(PatternPartBlockBytes[part]));
        const std::uint64_t first = block + PartOffset::Group;
        const std::uint64_t last = block + PartOffset::NumberLow;
        if (start <= last && end > first)
            LoadPatch(part);
    }
}

void TVirtualInstrument::CheckMfxRange(std::uint32_t start, std::span<const std::uint8_t> bytes)
{
    const std::uint64_t end = std::uint64_t(start) + bytes.size();
    const TBytes held = BytesAt(MfxCopyStarts.front(), MfxCopySize);
    sysex::mfx::TValues after {};
    std::copy(held.begin(), held.end(), after.begin());
    std::array<bool, sysex::mfx::ValueCount> written {};
    for (const std::uint32_t copy : MfxCopyStarts)
        for (std::uint32_t v = 0; v < MfxCopySize; ++v)
            if (copy + v >= start && copy + v < end) {
                after[v] = bytes[copy + v - start];
                written[v] = true;
            }
    if (!MfxWriteInRange(after, written))
        ++MfxFaults;
}

void TVirtualInstrument::MirrorMfx(std::uint32_t start, std::span<const std::uint8_t> bytes)
{
    const std::uint64_t end = std::uint64_t(start) + bytes.size();
    for (std::size_t c = 0; c < MfxCopyStarts.size(); ++c) {
        const std::uint32_t copy = MfxCopyStarts[c];
        const std::uint64_t from = std::max<std::uint64_t>(start, copy);
        const std::uint64_t to = std::min<std::uint64_t>(end, copy + MfxCopySize);
        if (from < to)
            Store(static_cast<std::uint32_t>(MfxCopyStarts[1 - c] + (from - copy)),
                  bytes.subspan(from - start, to - from));
    }
}

void TVirtualInstrument::LoadPatch(int part)
{
    const TBlock *selection = FindBlock(PatternPartAddress(PatternPartBlockBytes[part]));
    if (!selection)
        return;
    const int group = selection->Bytes[PartOffset::Group];
    const int number
        = selection->Bytes[PartOffset::NumberHigh] * 16 + selection->Bytes[PartOffset::NumberLow];
    TPatch patch = GeneratePatch(group, number);
    if (const auto renamed = RenamedPatches.find({group, number}); renamed != RenamedPatches.end())
        std::copy(renamed->second.begin(), renamed->second.end(), patch.Common.begin());
    if (TBlock *common = FindBlock(PatchCommonAddress(part)))
        common->Bytes = patch.Common;
    for (int tone = 0; tone < ToneCount; ++tone)
        if (TBlock *block = FindBlock(ToneAddress(part, tone)))
            block->Bytes = patch.Tones[tone];
}

void TVirtualInstrument::ApplyControlChanges(std::span<const std::uint8_t> message)
{
    const int channel = message[0] & 0x0F;
    std::uint8_t blockByte = 0;
    if (channel < PatchPartCount)
        blockByte = PatternPartBlockBytes[channel];
    else if (channel == RhythmChannelIndex)
        blockByte = RhythmPartBlockByte;
    else
        return;
    // Running status: one status byte may be followed by several controller/value pairs.
    for (std::size_t i = 1; i + 1 < message.size(); i += 2) {
        const std::uint8_t controller = message[i];
        const std::uint8_t value = message[i + 1];
        if (controller >= 0x80 || value >= 0x80)
            return;
        if (const auto field
            = sysex::mixer::FieldSentAs(sysex::mixer::TSending::ControlChange, controller))
            SetPartByte(blockByte, sysex::mixer::OffsetOf(*field), value);
    }
}

void TVirtualInstrument::CountRhythmNote(std::span<const std::uint8_t> message)
{
    if (message[1] >= 0x80 || message[2] >= 0x80)
        return;
    // A Note On of velocity 0 is a Note Off, as every sender of running status uses it.
    if ((message[0] & 0xF0) == NoteOn && message[2] > 0)
        ++NoteOns;
    else if ((message[0] & 0xF0) == NoteOn || (message[0] & 0xF0) == NoteOff)
        ++NoteOffs;
}

void TVirtualInstrument::ApplyModel3A(std::span<const std::uint8_t> payload)
{
    const auto part = std::find_if(
        sysex::mixer::Parts.begin(), sysex::mixer::Parts.end(),
        [&](const sysex::mixer::TMixerPart &p) { return p.Model3APart == payload[0]; });
    const auto field = sysex::mixer::FieldSentAs(sysex::mixer::TSending::Model3A, payload[1]);
    if (part == sysex::mixer::Parts.end() || !field)
        return;
    const sysex::mixer::TField &info = sysex::mixer::Field(*field);
    int stored = payload[2];
    // The message carries 64 + t for a transposition the block stores as 48 + t.
    if (*field == sysex::mixer::TFieldId::Transpose)
        stored = std::clamp(stored - (info.ShownBias - info.Bias), 0, info.StoredMax);
    SetPartByte(part->BlockByte, info.Offset, static_cast<std::uint8_t>(stored));
}

void TVirtualInstrument::SetPartByte(std::uint8_t blockByte, int offset, std::uint8_t value)
{
    if (TBlock *block = FindBlock(PatternPartAddress(blockByte)))
        block->Bytes[offset] = value;
}

TVirtualInstrument::TBlock *TVirtualInstrument::FindBlock(const TAddress &blockAddress)
{
    const std::uint32_t start = LinearAddress(blockAddress);
    for (TBlock &block : Blocks)
        if (block.Start == start)
            return &block;
    return nullptr;
}

const TVirtualInstrument::TBlock *TVirtualInstrument::FindBlock(const TAddress &blockAddress) const
{
    const std::uint32_t start = LinearAddress(blockAddress);
    for (const TBlock &block : Blocks)
        if (block.Start == start)
            return &block;
    return nullptr;
}

std::vector<std::uint8_t> TVirtualInstrument::Read(const TAddress &address, int size) const
{
    std::lock_guard lock(Lock);
    return BytesAt(LinearAddress(address), static_cast<std::uint32_t>(std::max(size, 0)));
}

TBytes TVirtualInstrument::BytesAt(std::uint32_t start, std::uint32_t size) const
{
    TBytes bytes(size, 0);
    VisitRange(
        Blocks, Held, start, std::uint64_t(start) + bytes.size(),
        [&](std::uint32_t blockStart, const TBytes &block, std::uint64_t from, std::uint64_t to) {
            std::copy(block.begin() + (from - blockStart), block.begin() + (to - blockStart),
                      bytes.begin() + (from - start));
        });
    return bytes;
}

std::uint8_t TVirtualInstrument::ReadByte(const TAddress &address) const
{
    return Read(address, 1).front();
}

void TVirtualInstrument::Write(const TAddress &address, std::span<const std::uint8_t> bytes)
{
    std::lock_guard lock(Lock);
    Store(LinearAddress(address), bytes);
}

void TVirtualInstrument::Load(const TBulkDump &dump)
{
    std::lock_guard lock(Lock);
    for (const TDataSet &dataSet : dump.DataSets)
        Store(LinearAddress(dataSet.Address), dataSet.Data);
}

std::string TVirtualInstrument::StoredPatchName(int groupByte, int number) const
{
    std::lock_guard lock(Lock);
    const auto renamed = RenamedPatches.find({groupByte, number});
    return renamed != RenamedPatches.end() ? renamed->second : PatchName(groupByte, number);
}

void TVirtualInstrument::RenameStoredPatch(int groupByte, int number, std::string_view name)
{
    std::string stored(name.substr(0, PatchNameSize));
    stored.resize(PatchNameSize, ' ');
    for (char &c : stored)
        if (static_cast<unsigned char>(c) < PatchNameFirstChar
            || static_cast<unsigned char>(c) > PatchNameLastChar)
            c = ' ';
    std::lock_guard lock(Lock);
    RenamedPatches[{groupByte, number}] = std::move(stored);
}

std::vector<TMessage> TVirtualInstrument::Log() const
{
    std::lock_guard lock(Lock);
    return {Received.begin(), Received.end()};
}

void TVirtualInstrument::ClearLog()
{
    std::lock_guard lock(Lock);
    Received.clear();
}

void TVirtualInstrument::SetLogLimit(std::size_t limit)
{
    std::lock_guard lock(Lock);
    ReceivedLimit = limit;
    while (Received.size() > ReceivedLimit)
        Received.pop_front();
}

std::uint64_t TVirtualInstrument::RhythmNoteOns() const
{
    std::lock_guard lock(Lock);
    return NoteOns;
}

std::uint64_t TVirtualInstrument::RhythmNoteOffs() const
{
    std::lock_guard lock(Lock);
    return NoteOffs;
}

std::uint64_t TVirtualInstrument::ValuesOutOfRange() const
{
    std::lock_guard lock(Lock);
    return OutOfRange;
}

std::uint64_t TVirtualInstrument::ReceivedCount() const
{
    std::lock_guard lock(Lock);
    return ReceivedTotal;
}

} // namespace instrument
