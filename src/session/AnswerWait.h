#pragma once

// A request's wait that ends as soon as its answers are in. The blocks the request is answered
// with are named before it is sent; each data set received is noted, and once every byte of
// every expected block has arrived (from its offset 00 to its size, in one message or in
// several) the wait ends. The request's own time, counted from the moment it has left the
// output, stays the upper bound: an instrument that answers less, or not at all, costs that time
// and no more.

#include "midi/MidiOutputs.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

class QEventLoop;

class TAnswerWait
{
public:
    struct TBlock
    {
        std::array<std::uint8_t, 4> Address;
        int Size;
    };

    // The blocks the next request is answered with, in data sets of the instrument's model from
    // the device of this device byte.
    void Expect(std::span<const TBlock> blocks, std::uint8_t deviceByte);
    // A received message: its bytes that fall in an expected block count as arrived.
    void Note(std::span<const std::uint8_t> message);
    // What came tells that nothing more will (a last page shorter than its block): the wait
    // ends now, complete.
    void Finish();
    // Every expected byte has arrived (also when nothing is expected).
    bool Complete() const { return Missing == 0; }

    // Dispatches the window thread's events until every expected byte has arrived, or for more
    // than ms milliseconds from the moment the last message handed to output has left it. When
    // the device failed and that message never left, throws the failure at once.
    void Run(const midi::IMidiOut &output, int ms);

private:
    struct TAwaited
    {
        std::uint32_t Start; // linear address
        std::vector<bool> Arrived;
    };
    std::vector<TAwaited> Awaited;
    std::uint8_t DeviceByte = 0;
    std::size_t Missing = 0;
    QEventLoop *Running = nullptr;
};
