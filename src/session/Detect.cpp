#include "Detect.h"

#include "RequestProcedure.h"
#include "WaitPumping.h"
#include "midi/MidiDevices.h"
#include "sysex/IdentityMessages.h"

#include <algorithm>
#include <exception>

namespace session {

namespace {
constexpr std::uint8_t FirstDeviceByte = 0x10; // ID 17, the factory setting
constexpr std::uint8_t LastDeviceByte = 0x1F; // ID 32
// A pause between two requests of the fallback, so that an instrument answering one is not
// asked the next while its answer is still on the cable.
constexpr int FallbackSpacingMs = 30;

} // namespace

std::optional<TDetected> TDetector::WaitFor(std::chrono::milliseconds limit,
                                            const std::function<std::optional<TDetected>()> &found)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!Stopping) {
        if (std::optional<TDetected> result = found())
            return result;
        if (std::chrono::steady_clock::now() >= end)
            break;
        WaitPumping(10);
    }
    return std::nullopt;
}

std::optional<TDetected> TDetector::Run(const TProgress &progress)
{
    std::optional<TDetected> found;
    try {
        found = Search(progress);
    } catch (...) {
        CloseOpened(-1, -1);
        throw;
    }
    CloseOpened(found ? found->Input : -1, found ? found->Output : -1);
    return found;
}

void TDetector::Release(int chosenInput, int chosenOutput)
{
    CloseOpened(chosenInput, chosenOutput);
    OpenedInputs.clear();
    OpenedOutputs.clear();
}

void TDetector::CloseOpened(int keptInput, int keptOutput)
{
    const auto close = [](midi::TMidiDevices &devices, std::set<int> &opened, int kept) {
        for (auto i = opened.begin(); i != opened.end();) {
            if (*i == kept) {
                ++i;
                continue;
            }
            try {
                devices.Close(*i);
            } catch (const std::exception &) {
                // A device that fails to close has nothing more to say to the windows.
            }
            i = opened.erase(i);
        }
    };
    close(midi::MidiIn(), OpenedInputs, keptInput);
    close(midi::MidiOut(), OpenedOutputs, keptOutput);
}

std::optional<TDetected> TDetector::Search(const TProgress &progress)
{
    Stopping = false;
    IsRunning = true;
    AskedCount = 0;
    Replies.clear();
    LoopBacks.clear();
    struct TEnd
    {
        bool &Running;
        ~TEnd() { Running = false; }
    } end {IsRunning};

    midi::TMidiInput &inputs = midi::MidiIn();
    midi::TMidiOutput &outputs = midi::MidiOut();
    midi::IMidiOuts &senders = Outputs ? *Outputs : outputs;
    // What is open already is the user's (or an earlier search's), and stays as it is.
    for (int i = FirstSystem; i < inputs.Count(); ++i) {
        if (inputs.Handle(i) != 0)
            continue;
        OpenedInputs.insert(i);
        try {
            inputs.Open(i);
        } catch (const std::exception &) {
            // An input that cannot be opened cannot answer; the others still can.
        }
    }
    std::vector<int> asked;
    for (int o = FirstSystem; o < outputs.Count(); ++o) {
        if (outputs.Handle(o) == 0)
            OpenedOutputs.insert(o);
        try {
            outputs.Open(o);
            asked.push_back(o);
        } catch (const std::exception &) { }
    }

    const TSysExAttachment attachment(
        inputs, [this](std::int32_t device, std::span<const std::uint8_t> bytes) {
            Replies.push_back({device, midi::TByteStream(bytes.begin(), bytes.end())});
        });
    // Our own request coming back marks a loop-back input; a reply is taken from any other
    // system input.
    const auto take = [this](int output, const midi::TByteStream &request,
                             std::optional<int> (*reply)(
                                 std::span<const std::uint8_t>)) -> std::optional<TDetected> {
        for (const TReply &r : Replies) {
            if (r.Input < FirstSystem)
                continue;
            if (r.Bytes == request)
                LoopBacks.insert(r.Input);
            else if (!LoopBacks.count(r.Input))
                if (const std::optional<int> id = reply(r.Bytes))
                    return TDetected {r.Input, output, *id};
        }
        return std::nullopt;
    };

    WaitFor(SettleWait, [] { return std::optional<TDetected>(); });
    int k = 0;
    for (int o : asked) {
        if (Stopping)
            return std::nullopt;
        ++k;
        progress("Asking " + outputs.Name(o) + " (" + std::to_string(k) + " of "
                 + std::to_string(asked.size()) + ")...");
        Replies.clear();
        const midi::TByteStream request = sysex::InquiryRequest();
        try {
            senders.Device(o).SendSysEx(request);
        } catch (const std::exception &) {
            continue;
        }
        ++AskedCount;
        if (std::optional<TDetected> found
            = WaitFor(InquiryWait, [&] { return take(o, request, &sysex::InquiryReplyId); }))
            return found;
    }
    // An instrument that does not answer the inquiry (or a port that drops universal messages)
    // may still answer a request of its own kind, once its device byte is right.
    k = 0;
    for (int o : asked) {
        if (Stopping)
            return std::nullopt;
        ++k;
        progress("Asking " + outputs.Name(o) + " for each device ID (" + std::to_string(k) + " of "
                 + std::to_string(asked.size()) + ")...");
        Replies.clear();
        for (int byte = FirstDeviceByte; byte <= LastDeviceByte && !Stopping; ++byte) {
            const midi::TByteStream request = sysex::SystemBlockRequest(byte);
            try {
                senders.Device(o).SendSysEx(request);
            } catch (const std::exception &) {
                break;
            }
            if (std::optional<TDetected> found
                = WaitFor(std::chrono::milliseconds(FallbackSpacingMs),
                          [&] { return take(o, request, &sysex::SystemBlockReplyId); }))
                return found;
        }
        const auto anyRequest = [&]() -> std::optional<TDetected> {
            for (int byte = FirstDeviceByte; byte <= LastDeviceByte; ++byte)
                if (auto found
                    = take(o, sysex::SystemBlockRequest(byte), &sysex::SystemBlockReplyId))
                    return found;
            return std::nullopt;
        };
        if (std::optional<TDetected> found = WaitFor(FallbackWait, anyRequest))
            return found;
    }
    return std::nullopt;
}

} // namespace session
