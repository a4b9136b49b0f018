#include "RhythmMessages.h"

#include "SysExFile.h"

#include <algorithm>

namespace sysex::rhythm {

namespace {

std::uint8_t Device(int deviceId)
{
    return static_cast<std::uint8_t>(DeviceByte(deviceId));
}

TAddress KeyAddress(int note, int offset)
{
    return {Area, SubArea, static_cast<std::uint8_t>(note), static_cast<std::uint8_t>(offset)};
}

std::string Hex(int value)
{
    return midi::HexByte(value & 0xFF);
}

std::string KeyWhere(int note)
{
    return "Rhythm key " + std::to_string(note) + " (" + NoteName(note) + ")";
}

std::string BlockName(int block)
{
    return block == NameBlock ? std::string("the name")
                              : "key " + std::to_string(KeyOfBlock(block));
}

TRhythmFileRead Refused(std::size_t offset, std::string why)
{
    TRhythmFileRead read;
    read.Error = TRhythmFileError {offset, std::move(why)};
    return read;
}

} // namespace

std::span<const std::uint8_t> TRhythmSet::Block(int block) const
{
    if (block == NameBlock)
        return Name;
    return Keys[static_cast<std::size_t>(block - 1)];
}

std::span<std::uint8_t> TRhythmSet::Block(int block)
{
    if (block == NameBlock)
        return Name;
    return Keys[static_cast<std::size_t>(block - 1)];
}

std::optional<midi::TByteStream> KeyByteMessage(int deviceId, int note, int offset, int byte)
{
    const TKeyByte what = KeyByteAt(offset);
    if (!IsKey(note) || what.Row < 0 || KeyTable[what.Row].Kind == TKeyKind::WaveList)
        return std::nullopt;
    const std::array<std::uint8_t, 1> data {
        static_cast<std::uint8_t>(std::clamp(byte, what.Min, what.Max))};
    return DataSetMessage(Device(deviceId), KeyAddress(note, offset), data);
}

std::optional<midi::TByteStream> KeyParamMessage(int deviceId, int note, const TKeyParam &param,
                                                 int controlValue)
{
    if (param.Kind == TKeyKind::EnvelopeImage)
        return std::nullopt;
    return KeyByteMessage(deviceId, note, param.Offset, param.ToByte(controlValue));
}

std::optional<midi::TByteStream> KeyWaveMessage(int deviceId, int note, int groupByte, int number)
{
    if (!IsKey(note))
        return std::nullopt;
    const int wave = std::clamp(number, 0, 0xFF);
    const std::array<std::uint8_t, 3> data {
        static_cast<std::uint8_t>(std::clamp(groupByte, WaveGroupMin, WaveGroupMax)),
        static_cast<std::uint8_t>(wave / 16), static_cast<std::uint8_t>(wave % 16)};
    return DataSetMessage(Device(deviceId), KeyAddress(note, WaveGroupOffset), data);
}

TKeyWave WaveOfKey(const TKeyBlock &key)
{
    return {key[WaveGroupOffset], key[WaveNumberHighOffset] * 16 + key[WaveNumberLowOffset]};
}

midi::TByteStream NameMessage(int deviceId, std::string_view name)
{
    TName bytes;
    bytes.fill(' ');
    for (std::size_t i = 0; i < bytes.size() && i < name.size(); ++i) {
        const auto c = static_cast<std::uint8_t>(name[i]);
        bytes[i] = c >= NameFirstChar && c <= NameLastChar ? c : ' ';
    }
    return DataSetMessage(Device(deviceId), BlockAddress(NameBlock), bytes);
}

std::string NameText(const TName &name)
{
    std::string text;
    for (std::uint8_t c : name)
        text += c >= NameFirstChar && c <= NameLastChar ? static_cast<char>(c) : ' ';
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

TKeyBlock PastedKey(const TKeyBlock &source, const TKeyBlock &target)
{
    TKeyBlock pasted = source;
    for (const TReservedByte &reserved : ReservedBytes)
        pasted[reserved.Offset] = target[reserved.Offset];
    // A byte beyond its stored range would be a status byte, or a value the instrument refuses.
    for (std::size_t offset = 0; offset < pasted.size(); ++offset)
        pasted[offset] &= 0x7F;
    return pasted;
}

std::optional<midi::TByteStream> PasteKeyMessage(int deviceId, int targetNote,
                                                 const TKeyBlock &source, const TKeyBlock &target)
{
    if (!IsKey(targetNote))
        return std::nullopt;
    return DataSetMessage(Device(deviceId), KeyAddress(targetNote, 0), PastedKey(source, target));
}

midi::TByteStream RhythmSetRequest(int deviceId)
{
    return RequestMessage(Device(deviceId), BlockAddress(NameBlock), SpanningRequestSize);
}

midi::TByteStream BlockRequest(int deviceId, int block)
{
    block = std::clamp(block, 0, BlockCount - 1);
    return RequestMessage(Device(deviceId), BlockAddress(block),
                          static_cast<std::uint32_t>(BlockSize(block)));
}

bool TRhythmSetCollector::Take(std::span<const std::uint8_t> message)
{
    const std::optional<TRolandMessage> roland = ReadRolandMessage(message);
    if (!roland || roland->Header.Model != TModel::Instrument || !roland->IsDataSet()
        || !roland->ChecksumHolds() || !roland->Address())
        return false;
    const auto body = roland->AfterAddress();
    if (std::any_of(body.begin(), body.end(), [](std::uint8_t b) { return b >= 0x80; }))
        return false;
    return TakeData(*roland->Address(), body);
}

bool TRhythmSetCollector::TakeData(const TAddress &address, std::span<const std::uint8_t> data)
{
    if (address[0] != Area || address[1] != SubArea)
        return false;
    bool took = false;
    // The bytes follow one another in the 7-bit address space: a piece may run into the next
    // page, where the next key lies.
    const std::uint32_t start = (std::uint32_t(address[2] & 0x7F) << 7) | (address[3] & 0x7F);
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::uint32_t at = start + static_cast<std::uint32_t>(i);
        const int block = BlockOfByte(static_cast<int>(at >> 7));
        const auto offset = static_cast<int>(at & 0x7F);
        if (at >> 7 > 0x7F || block < 0 || offset >= BlockSize(block))
            continue;
        Bytes.Block(block)[static_cast<std::size_t>(offset)] = data[i];
        Received[static_cast<std::size_t>(block)].set(static_cast<std::size_t>(offset));
        took = true;
    }
    return took;
}

bool TRhythmSetCollector::Complete(int block) const
{
    if (block < 0 || block >= BlockCount)
        return false;
    return Received[static_cast<std::size_t>(block)].count()
        == static_cast<std::size_t>(BlockSize(block));
}

bool TRhythmSetCollector::AllComplete() const
{
    return MissingBlocks().empty();
}

std::vector<int> TRhythmSetCollector::MissingBlocks() const
{
    std::vector<int> missing;
    for (int block = 0; block < BlockCount; ++block)
        if (!Complete(block))
            missing.push_back(block);
    return missing;
}

std::optional<TName> TRhythmSetCollector::Name() const
{
    if (!Complete(NameBlock))
        return std::nullopt;
    return Bytes.Name;
}

std::optional<TKeyBlock> TRhythmSetCollector::Key(int note) const
{
    if (!IsKey(note) || !Complete(BlockOfKey(note)))
        return std::nullopt;
    return Bytes.Keys[static_cast<std::size_t>(note - FirstKey)];
}

std::optional<TRhythmSet> TRhythmSetCollector::Set() const
{
    if (!AllComplete())
        return std::nullopt;
    return Bytes;
}

void TRhythmSetCollector::Clear()
{
    *this = {};
}

std::vector<midi::TByteStream> RhythmSetMessages(const TRhythmSet &set, int deviceId)
{
    std::vector<midi::TByteStream> messages;
    for (int block = 0; block < BlockCount; ++block)
        messages.push_back(DataSetMessage(Device(deviceId), BlockAddress(block), set.Block(block)));
    return messages;
}

std::vector<std::uint8_t> RhythmSetFile(const TRhythmSet &set, int deviceId)
{
    std::vector<std::uint8_t> file;
    for (const midi::TByteStream &message : RhythmSetMessages(set, deviceId))
        file.insert(file.end(), message.begin(), message.end());
    return file;
}

TRhythmFileRead ReadRhythmSetFile(std::span<const std::uint8_t> bytes)
{
    TRhythmSetCollector collector;
    int others = 0;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto next = FileMessageAt(bytes, at);
        if (const auto *fault = std::get_if<TFileFault>(&next))
            return Refused(fault->Offset, fault->Why);
        const auto message = std::get<std::span<const std::uint8_t>>(next);
        const std::size_t start = at;
        at += message.size();
        const std::optional<THeader> header = ReadHeader(message);
        if (!header || header->Model != TModel::Instrument || header->Command != CommandDataSet) {
            ++others;
            continue;
        }
        if (message.size() < SmallestDataSet)
            return Refused(start,
                           "data set too short: " + std::to_string(message.size()) + " bytes");
        const TRolandMessage dataSet = *ReadRolandMessage(message);
        if (!dataSet.ChecksumHolds())
            return Refused(start,
                           "bad checksum " + Hex(dataSet.Checksum) + ", should be "
                               + Hex(dataSet.ExpectedChecksum()));
        const TAddress address = *dataSet.Address();
        if (address[0] != Area || address[1] != SubArea) {
            ++others;
            continue;
        }
        const int block = BlockOfByte(address[2]);
        if (block < 0 || address[3] >= BlockSize(block))
            return Refused(start,
                           "address 02 09 " + Hex(address[2]) + " " + Hex(address[3])
                               + " lies in no block of the rhythm set");
        const std::size_t size = dataSet.AfterAddress().size();
        const std::size_t room = static_cast<std::size_t>(BlockSize(block) - address[3]);
        if (size > room)
            return Refused(start,
                           std::to_string(size) + " data bytes run past the end of "
                               + BlockName(block) + " (" + std::to_string(room) + " left)");
        collector.TakeData(address, dataSet.AfterAddress());
    }
    const std::vector<int> missing = collector.MissingBlocks();
    if (missing.size() == static_cast<std::size_t>(BlockCount))
        return Refused(0, "no rhythm set data (" + std::to_string(others) + " other messages)");
    if (!missing.empty())
        return Refused(0,
                       "the rhythm set is not whole: " + BlockName(missing.front())
                           + " is missing or cut short (" + std::to_string(missing.size())
                           + " blocks in all)");
    TRhythmFileRead read;
    read.Set = collector.Set();
    read.Skipped = others;
    return read;
}

std::string DataSetMeaning(int blockByte, int offset, std::span<const std::uint8_t> data)
{
    const int block = BlockOfByte(blockByte);
    const std::string bytes = std::to_string(data.size()) + " bytes";
    if (block == NameBlock)
        return "Rhythm set name";
    if (block < 0)
        return "Rhythm set at " + std::to_string(blockByte) + " " + std::to_string(offset) + ", "
            + bytes;
    const std::string where = KeyWhere(blockByte);
    const TKeyByte what = KeyByteAt(offset);
    const bool wave = what.Row >= 0 && KeyTable[what.Row].Kind == TKeyKind::WaveList;
    if (wave && offset == KeyTable[what.Row].Offset && data.size() == 3)
        return where + " Wave " + WaveCode(data[0], data[1] * 16 + data[2]);
    if (data.size() != 1)
        return where + ", " + bytes;
    if (what.Row < 0 || wave)
        return where + " " + KeyByteName(offset) + " " + std::to_string(data[0]);
    const TKeyParam &param = KeyTable[what.Row];
    const std::span<const char *const> items
        = what.Point == 0 ? param.Items : std::span<const char *const> {};
    const char *unit = what.Point == 0 ? param.Unit : nullptr;
    return where + " " + KeyByteName(offset) + " "
        + ShownText(what.Shown, data[0], what.Bias, items, unit);
}

std::string RequestMeaning(int blockByte, std::uint32_t size)
{
    const std::string bytes = std::to_string(size) + " bytes";
    const int block = BlockOfByte(blockByte);
    if (block > NameBlock)
        return KeyWhere(blockByte) + " request, " + bytes;
    return "Rhythm set request, " + bytes;
}

} // namespace sysex::rhythm
