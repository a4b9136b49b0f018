#include "PartSession.h"

#include "midi/MidiDevices.h"
#include "midi/MidiError.h"
#include "midi/SysExText.h"
#include "session/RequestProcedure.h"
#include "session/WaitPumping.h"
#include "sysex/MixerParams.h"
#include "sysex/PatchFile.h"
#include "sysex/RolandMessage.h"
#include "sysex/ToneParams.h"

#include <utility>

namespace {

// What the instrument answers a part's requests with, whole: its pattern part block, then its
// temporary patch's common block and four tone blocks.
std::vector<TAnswerWait::TBlock> AnswerBlocks(int part, std::size_t request)
{
    const auto byte = [](int value) { return static_cast<std::uint8_t>(value); };
    if (request == 0) {
        const sysex::mixer::TBlockInfo &blocks
            = sysex::mixer::BlockInfo(sysex::mixer::TBlock::PatternPart);
        return {{{blocks.Area, blocks.SubArea, sysex::mixer::PartBlockByte(part + 1), 0x00},
                 blocks.Size}};
    }
    std::vector<TAnswerWait::TBlock> blocks {
        {{0x02, byte(part), 0x00, 0x00}, sysex::PatchCommonSize}};
    for (int tone = 1; tone <= 4; ++tone)
        blocks.push_back(
            {{0x02, byte(part), byte(sysex::ToneByte(tone)), 0x00}, sysex::ToneBlockSize});
    return blocks;
}

} // namespace

TPartSession::TPartSession(midi::IMidiOuts &outputs, QObject *parent)
    : QObject(parent)
    , Outputs(outputs)
{ }

void TPartSession::ApplySettings()
{
    const settings::TReadOutcome outcome
        = settings::ReadSettingsFile(settings::SettingsFilePath(), Settings);
    Settings.PatchNames.resize(sysex::PatchNameCount);
    // A device that cannot be opened does not keep the other one closed nor the headers
    // unbuilt: every later message needs them. The errors are shown once all is done.
    std::string errors = outcome.Error;
    const auto open = [&errors](const auto &openDevice) {
        try {
            openDevice();
        } catch (const std::exception &e) {
            errors += (errors.empty() ? "" : "\n") + std::string(e.what());
        }
    };
    open([this] { midi::MidiIn().Open(Settings.MidiInIndex); });
    open([this] { Outputs.Open(Settings.MidiOutIndex); });
    SetHeader = sysex::DataSetHeader(Settings.DeviceId);
    RequestHeader = sysex::DataRequestHeader(Settings.DeviceId);
    if (!errors.empty())
        throw midi::EMidiError(errors);
}

TDeviceSettings TPartSession::Devices() const
{
    return {Settings.MidiInIndex, Settings.MidiOutIndex, Settings.DeviceId};
}

midi::IMidiOut &TPartSession::Output() const
{
    return Outputs.Device(Settings.MidiOutIndex);
}

std::string TPartSession::PartText() const
{
    return midi::HexByte(Requested);
}

void TPartSession::SendText(const std::string &text)
{
    Output().SendSysExText(text);
}

void TPartSession::SelectPart(int part)
{
    Selected = part;
    if (part < 0)
        return;
    auto &jobs = session::TRequestProcedure::Instance();
    if (jobs.Running() && !jobs.InJobCode())
        PendingPart = part;
    jobs.Run(
        this, QStringLiteral("Reading part %1...").arg(part + 1),
        [this, part] {
            if (PendingPart == part)
                PendingPart.reset();
            RequestPart(part);
        },
        QStringLiteral("part"));
}

void TPartSession::RequestAgain()
{
    SelectPart(Selected);
}

void TPartSession::RequestPart(int part)
{
    Requested = part;
    emit PartRequested(part);
    session::TSysExAttachment attached(
        midi::MidiIn(), [this](std::int32_t index, std::span<const std::uint8_t> data) {
            DoSysexData(index, data);
        });
    // Each request is built when it is sent, with the header of that moment.
    for (std::size_t i = 0; i < sysex::patch::PartRequestCount; ++i)
        Ask(sysex::patch::PartRequests(RequestHeader, part)[i], AnswerBlocks(part, i));
}

void TPartSession::Ask(const sysex::patch::TRequest &request,
                       std::span<const TAnswerWait::TBlock> blocks)
{
    // The answers are data sets of this device.
    Answers.Expect(blocks, static_cast<std::uint8_t>(sysex::DeviceByte(Settings.DeviceId)));
    SendText(request.Text);
    // Its wait starts when it has left the output's queue.
    Answers.Run(Output(), WaitBound.value_or(request.WaitMs));
}

void TPartSession::ChoosePatch(int group, int patch)
{
    const int part = Selected;
    // No patch selected: nothing is sent until one is.
    if (patch < 0 || part < 0)
        return;
    session::TRequestProcedure::Instance().Run(
        this, QStringLiteral("Picking a patch for part %1...").arg(part + 1),
        [this, part, group, patch] {
            for (const std::string &message :
                 sysex::patch::PatchSelectionMessages(SetHeader, part, group, patch))
                SendText(message);
            const sysex::patch::TPatchSelection sent {group, patch};
            emit PatchSelectionSent(
                part, std::exchange(KnownSelections[static_cast<std::size_t>(part)], sent), sent);
            session::WaitPumpingAfterLeaving(Output(), sysex::patch::PatchSelectionWaitMs);
            RequestPart(part);
        });
}

void TPartSession::SendToneValue(int tone, int offset, const std::string &valueText)
{
    SendText(sysex::ToneMessageText(SetHeader, PartText(), tone, offset, valueText));
}

void TPartSession::SendToneValue(int part, int tone, int offset, const std::string &valueText)
{
    SendText(sysex::ToneMessageText(SetHeader, midi::HexByte(part), tone, offset, valueText));
}

std::vector<midi::TByteStream> TPartSession::Collect(int part, std::size_t request)
{
    // The answers are kept as they come, neither decoded nor echoed: a file holds every byte of
    // the blocks, also those the window does not show.
    std::vector<midi::TByteStream> received;
    session::TSysExAttachment attached(
        midi::MidiIn(), [this, &received](std::int32_t, std::span<const std::uint8_t> data) {
            Answers.Note(data);
            received.emplace_back(data.begin(), data.end());
        });
    Ask(sysex::patch::PartRequests(RequestHeader, part)[request], AnswerBlocks(part, request));
    return received;
}

std::vector<midi::TByteStream> TPartSession::CollectPatch(int part)
{
    return Collect(part, sysex::patch::PartRequestCount - 1);
}

std::vector<midi::TByteStream> TPartSession::CollectWholePatch(int part, const std::string &notDone)
{
    const std::vector<midi::TByteStream> received = CollectPatch(part);
    const auto missing = sysex::MissingPatchBlocks(received, part);
    if (!missing.empty()) {
        std::string names;
        for (const std::string &name : missing)
            names += (names.empty() ? "" : ", ") + name;
        throw midi::EMidiError("Part " + std::to_string(part + 1)
                               + " did not answer completely (missing: " + names + "); " + notDone);
    }
    return sysex::PatchBlockMessages(received, part);
}

std::optional<TPartSession::TCollectedSelection> TPartSession::CollectSelection(int part)
{
    std::optional<TCollectedSelection> collected;
    for (const midi::TByteStream &answer : Collect(part, 0)) {
        const auto decoded = sysex::patch::DecodeMessage(answer).Selection;
        const auto bytes = sysex::patch::SelectionBytesOf(answer);
        if (decoded && bytes)
            collected = TCollectedSelection {*decoded, *bytes};
    }
    return collected;
}

void TPartSession::DoSysexData(std::int32_t, std::span<const std::uint8_t> data)
{
    Answers.Note(data);
    const sysex::patch::TDecoded decoded = sysex::patch::DecodeMessage(data);
    switch (decoded.Block) {
    case sysex::patch::TBlock::PatternPart:
        // The part's patch selection; a block is taken to be the requested part's.
        if (!decoded.Selection)
            return;
        KnownSelections[static_cast<std::size_t>(Requested)] = *decoded.Selection;
        emit SelectionReceived(*decoded.Selection);
        break;
    case sysex::patch::TBlock::PatchCommon:
        emit CommonReceived();
        if (decoded.Name)
            emit NameReceived(*decoded.Name);
        break;
    case sysex::patch::TBlock::Tone:
        if (!decoded.Values.empty())
            emit ToneReceived(decoded.Tone, decoded.Values);
        break;
    case sysex::patch::TBlock::NotOurs:
        break;
    }
}
