#include "MessageMeaning.h"

#include "IdentityMessages.h"
#include "MixerMessages.h"
#include "PatternMeaning.h"
#include "RhythmMessages.h"
#include "RolandMessage.h"
#include "ToneParams.h"

#include <array>
#include <optional>

namespace sysex {

namespace {
using TBytes = std::span<const std::uint8_t>;

std::string Number(int value)
{
    return std::to_string(value);
}

int SizeOf(TBytes size)
{
    return ((size[0] * 128 + size[1]) * 128 + size[2]) * 128 + size[3];
}

std::string PartName(int mixerPart)
{
    return std::string("part ") + sysex::mixer::Parts[static_cast<std::size_t>(mixerPart)].Label;
}

const char *Item(const char *const *items, int count, int index)
{
    return index >= 0 && index < count ? items[index] : nullptr;
}

// The name the user sees beside the control; where that is missing or shared by several
// controls, the object name without its kind prefix.
std::string ControlName(const TToneControl &control)
{
    const std::string caption = control.Caption ? control.Caption : "";
    if (control.Label.Caption && std::string(control.Label.Caption) != ToneText::VelocityCaption)
        return control.Label.Caption;
    if (caption.starts_with("TONE"))
        return "Switch";
    if (!caption.empty() && caption.front() != ' ' && control.Kind == TControlKind::CheckBox)
        return caption;
    std::string stem = control.Stem;
    for (const char *prefix : {"RadioGroup", "Bar", "CB", "LB", "Edit"})
        if (stem.starts_with(prefix))
            return stem.substr(std::string(prefix).size());
    return stem;
}

// The tone control that shows the byte at offset, and how it names itself.
std::string ToneValue(int offset, TBytes data)
{
    const int byte = data[0];
    for (const TToneControl &control : ToneTable) {
        if (control.Kind == TControlKind::Bevel)
            continue;
        if (control.Kind == TControlKind::EnvelopeImage) {
            const TEnvelopeParams &envelope = *control.Envelope;
            for (int i = 0; i < 4; ++i) {
                if (envelope.TimeOffsets[static_cast<std::size_t>(i)] == offset)
                    return std::string(control.Label.Caption) + " T" + Number(i + 1) + " = "
                        + Number(byte);
                if (i < envelope.LevelCount
                    && envelope.LevelOffsets[static_cast<std::size_t>(i)] == offset)
                    return std::string(control.Label.Caption) + " L" + Number(i + 1) + " = "
                        + Number(byte);
            }
            continue;
        }
        if (control.Param.Offset != offset)
            continue;
        const std::string name = ControlName(control);
        const int value = control.Param.ToControl(byte);
        switch (control.Kind) {
        case TControlKind::CheckBox:
            return name + " = " + (value != 0 ? "on" : "off");
        case TControlKind::RadioGroup:
        case TControlKind::FilterList:
            if (const char *item = Item(control.Items, control.ItemCount, value))
                return name + " = " + item;
            return name + " = " + Number(byte);
        case TControlKind::WaveList:
            if (data.size() >= 3)
                return "Wave = row " + Number(WaveRowFromBytes(data[0], data[1], data[2]));
            return "Wave bank = " + Number(byte);
        default:
            return name + " = " + Number(value);
        }
    }
    return "offset " + Number(offset) + " = " + Number(byte);
}

std::string PatchArea(int part, int block, int offset, TBytes data)
{
    const std::string where = "Part " + Number(part + 1);
    if (block == 0x00)
        return where + " patch common"
            + (data.size() > 1 ? ", " + Number(static_cast<int>(data.size())) + " bytes" : "");
    if (block < 0x10 || block > 0x16 || block % 2 != 0)
        return where + " patch block " + Number(block);
    const std::string tone = where + " Tone " + Number((block - 0x10) / 2 + 1);
    if (data.size() == 1 || (offset == WaveGroupOffset && data.size() == 3))
        return tone + " " + ToneValue(offset, data);
    return tone + ", " + Number(static_cast<int>(data.size())) + " bytes";
}

// The mixer field at offset of block as the monitor shows it, if the mixer shows one there.
std::optional<std::string> MixerValue(sysex::mixer::TBlock block, int offset, int byte)
{
    const std::optional<sysex::mixer::TFieldId> id = sysex::mixer::FieldAt(block, offset);
    if (!id)
        return std::nullopt;
    const sysex::mixer::TField &field = sysex::mixer::Field(*id);
    const std::string name = std::string(field.Name) + " = ";
    if (field.Conversion == sysex::mixer::TConversion::Flag)
        return name + (byte != 0 ? "on" : "off");
    if (!field.Items.empty()) {
        const char *item = Item(field.Items.data(), static_cast<int>(field.Items.size()), byte);
        return name + (item ? item : Number(byte));
    }
    return name + Number(byte - field.ShownBias);
}

std::string PartBlockValue(int offset, TBytes data)
{
    const int byte = data[0];
    if (offset == PatchGroupOffset)
        return "Patch group = " + Number(byte);
    if (offset == PatchNumberOffset)
        return data.size() >= 2 ? "Patch = " + Number(byte * 16 + data[1])
                                : "Patch = " + Number(byte);
    return MixerValue(sysex::mixer::TBlock::PatternPart, offset, byte)
        .value_or("offset " + Number(offset) + " = " + Number(byte));
}

std::string DataSet(TBytes body, TMeaningContext &context)
{
    if (body.size() < 5)
        return "other";
    if (std::optional<std::string> pattern = PatternDataSetMeaning(body, context.MfxType))
        return *pattern;
    const int area = body[0], sub = body[1], block = body[2], offset = body[3];
    const TBytes data = body.subspan(4);
    const std::string bytes = Number(static_cast<int>(data.size())) + " bytes";
    if (area == rhythm::Area && sub == rhythm::SubArea)
        return rhythm::DataSetMeaning(block, offset, data);
    if (area == 0x02 && sub < 8)
        return PatchArea(sub, block, offset, data);
    const sysex::mixer::TBlockInfo &common
        = sysex::mixer::BlockInfo(sysex::mixer::TBlock::PatternCommon);
    const sysex::mixer::TBlockInfo &system = sysex::mixer::BlockInfo(sysex::mixer::TBlock::System);
    if (area == common.Area && sub == common.SubArea) {
        if (const std::optional<int> part
            = sysex::mixer::PartOfBlockByte(static_cast<std::uint8_t>(block))) {
            const std::string where = "Pattern " + PartName(*part);
            if (data.size() == 1 || (offset == PatchNumberOffset && data.size() == 2))
                return where + " " + PartBlockValue(offset, data);
            return where + ", " + bytes;
        }
        if (block == common.Block)
            return data.size() == 1
                ? MixerValue(sysex::mixer::TBlock::PatternCommon, offset, data[0])
                      .value_or("Pattern common offset " + Number(offset) + " = " + Number(data[0]))
                : "Pattern common, " + bytes;
    }
    if (area == system.Area && sub == system.SubArea && block == system.Block
        && MixerValue(sysex::mixer::TBlock::System, offset, 0)) {
        // Each switch the data reaches, up to the last one.
        std::string text;
        for (std::size_t i = 0; i < data.size(); ++i) {
            const std::optional<std::string> value
                = MixerValue(sysex::mixer::TBlock::System, offset + static_cast<int>(i), data[i]);
            if (!value)
                break;
            text += (text.empty() ? "" : ", ") + *value;
        }
        return text;
    }
    return "Data set at " + Number(area) + " " + Number(sub) + " " + Number(block) + " "
        + Number(offset) + ", " + bytes;
}

std::string DataRequest(TBytes body)
{
    if (body.size() != 8)
        return "other";
    const int area = body[0], sub = body[1], block = body[2];
    const std::string size = Number(SizeOf(body.subspan(4))) + " bytes";
    if (area == rhythm::Area && sub == rhythm::SubArea)
        return rhythm::RequestMeaning(block, static_cast<std::uint32_t>(SizeOf(body.subspan(4))));
    if (std::optional<std::string> pattern = PatternRequestMeaning(body))
        return *pattern;
    if (area == 0x02 && sub < 8)
        return "Part " + Number(sub + 1) + " patch request, " + size;
    const sysex::mixer::TBlockInfo &common
        = sysex::mixer::BlockInfo(sysex::mixer::TBlock::PatternCommon);
    if (area == common.Area && sub == common.SubArea) {
        if (const std::optional<int> part
            = sysex::mixer::PartOfBlockByte(static_cast<std::uint8_t>(block)))
            return "Pattern " + PartName(*part) + " request, " + size;
        if (block == common.Block)
            return "Pattern request, " + size;
    }
    if (area == 0x00)
        return "System request, " + size;
    return "Request, " + size;
}

std::string Model3A(TBytes message)
{
    if (message.size() < 10 || message.back() != 0xF7)
        return "other";
    const TBytes body = message.subspan(Model3AHeaderSize, message.size() - 7);
    for (std::size_t i = 0; i < sysex::mixer::Parts.size(); ++i) {
        if (sysex::mixer::Parts[i].Model3APart != body[0])
            continue;
        const std::string where = "Pattern " + PartName(static_cast<int>(i));
        if (body[1] == sysex::mixer::Field(sysex::mixer::TFieldId::Transpose).SendByte)
            return where + " transpose = "
                + Number(body[2]
                         - sysex::mixer::Field(sysex::mixer::TFieldId::Transpose).ShownBias);
        if (body[1] == sysex::mixer::Field(sysex::mixer::TFieldId::PartMfx).SendByte)
            return where + " MFX = " + (body[2] != 0 ? "on" : "off");
        return where + " model 3A";
    }
    return "Model 3A message";
}

std::string ControlChange(TBytes message)
{
    const int channel = (message[0] & 0x0F) + 1;
    const int controller = message[1];
    const int value = message[2];
    const std::optional<sysex::mixer::TFieldId> field
        = sysex::mixer::FieldSentAs(sysex::mixer::TSending::ControlChange, controller);
    if (!field)
        return "Channel " + Number(channel) + " CC " + Number(controller) + " = " + Number(value);
    return "Channel " + Number(channel) + " " + sysex::mixer::Field(*field).Name + " = "
        + Number(value - sysex::mixer::Field(*field).ShownBias);
}

std::string Inquiry(TBytes message)
{
    if (message.size() == 6 && message[4] == 0x01)
        return "Inquiry Request";
    if (message.size() >= 15 && message[4] == 0x02) {
        std::string text = "Inquiry Reply, device " + Number(message[2] + 1);
        if (IsMc307Identity(message))
            text += ": Roland MC-307";
        return text;
    }
    return "other";
}
} // namespace

std::string MessageMeaning(std::span<const std::uint8_t> message)
{
    TMeaningContext context;
    return MessageMeaning(message, context);
}

std::string MessageMeaning(std::span<const std::uint8_t> message, TMeaningContext &context)
{
    if (message.empty())
        return "other";
    const int status = message[0];
    if (status == 0xFE && message.size() == 1)
        return "Active Sensing";
    if (status == 0xF8 && message.size() == 1)
        return "Clock";
    if ((status & 0xF0) == 0xB0 && message.size() == 3 && message[1] < 0x80 && message[2] < 0x80)
        return ControlChange(message);
    // The 00 the program sends ahead of a model-3A message is no part of it.
    if (status == 0x00 && message.size() > 1) {
        const std::optional<THeader> header = ReadHeader(message.subspan(1));
        if (header && header->Model == TModel::Model3A)
            return Model3A(message.subspan(1));
    }
    if (status != 0xF0 || message.back() != 0xF7)
        return "other";
    if (message.size() >= 5 && message[1] == 0x7E && message[3] == 0x06)
        return Inquiry(message);
    const std::optional<TRolandMessage> roland
        = message.size() >= 8 ? ReadRolandMessage(message) : std::nullopt;
    if (!roland)
        return "other";
    if (roland->Header.Model == TModel::Model3A)
        return Model3A(message);
    if (roland->IsDataSet())
        return DataSet(roland->Body, context);
    if (roland->IsRequest())
        return DataRequest(roland->Body);
    return "other";
}

} // namespace sysex
