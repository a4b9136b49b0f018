#pragma once

// Finding the MC-307 on the system's MIDI devices: the universal Inquiry Request on each output
// in turn, listening on every input, and where nothing answers, a request of the system block
// once for each device byte. The built-in instrument (device 0 of both sets) is never the answer:
// the search is for a real one.

#include "midi/MidiOutputs.h"

#include <chrono>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>

namespace session {

struct TDetected
{
    int Input = -1;
    int Output = -1;
    int DeviceId = 0;
};

// Runs on the window thread; its waits dispatch the window's events, so a dialog stays usable
// and may call Stop. A search opens the system devices that are closed and closes them again
// when it ends, except the input and output that answered: those stay open until Release.
class TDetector
{
public:
    // progress is told what is asked now, for a line of text.
    using TProgress = std::function<void(const std::string &text)>;

    // Devices below firstSystemDevice are the built-in ones.
    explicit TDetector(int firstSystemDevice = 1)
        : FirstSystem(firstSystemDevice)
    { }

    std::optional<TDetected> Run(const TProgress &progress);
    // The output devices the requests go through, as the windows send (paced, heard by the
    // monitor); the program's output set itself when none is given.
    void SendThrough(midi::IMidiOuts *outputs) { Outputs = outputs; }
    void Stop() { Stopping = true; }
    bool Stopped() const { return Stopping; }
    bool Running() const { return IsRunning; }
    // How many output devices the last run could open and ask.
    int Asked() const { return AskedCount; }
    // Closes what the searches opened and left open, except the input and output chosen (-1 for
    // none), which are the user's from now on.
    void Release(int chosenInput, int chosenOutput);

    // After opening the devices: a MIDI server makes new connections live some cycles later.
    std::chrono::milliseconds SettleWait {300};
    std::chrono::milliseconds InquiryWait {1000};
    std::chrono::milliseconds FallbackWait {600};

private:
    struct TReply
    {
        int Input;
        midi::TByteStream Bytes;
    };
    std::optional<TDetected> Search(const TProgress &progress);
    // Closes what the searches opened, except the devices given (-1 for none).
    void CloseOpened(int keptInput, int keptOutput);
    // Waits up to limit, or until found gives a result or the search is stopped.
    std::optional<TDetected> WaitFor(std::chrono::milliseconds limit,
                                     const std::function<std::optional<TDetected>()> &found);

    const int FirstSystem;
    midi::IMidiOuts *Outputs = nullptr;
    bool Stopping = false;
    bool IsRunning = false;
    int AskedCount = 0;
    std::vector<TReply> Replies;
    // Inputs that sent our own request back: what else comes on them is no answer.
    std::set<int> LoopBacks;
    // Devices a search opened that are still open.
    std::set<int> OpenedInputs;
    std::set<int> OpenedOutputs;
};

} // namespace session
