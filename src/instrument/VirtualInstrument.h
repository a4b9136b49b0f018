#pragma once

// The built-in virtual MC-307: the parts of the instrument's memory the program touches, data-set
// messages stored, data requests answered as the instrument answers them, control changes and
// model-3A messages applied to the pattern part blocks, and a log of what it received.

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace instrument {

using TAddress = std::array<std::uint8_t, 4>;
using TMessage = std::vector<std::uint8_t>;

class TVirtualInstrument
{
public:
    // Heeds only messages with the device byte of deviceId (ID - 1; 17 is the factory setting).
    explicit TVirtualInstrument(int deviceId = 17);

    // One complete message from the program: a System Exclusive message from F0 to F7 (a model-3A
    // message may carry a 00 ahead of F0) or a short message. Returns the instrument's answers,
    // complete data-set messages in the order it sends them. Thread-safe.
    std::vector<TMessage> Receive(std::span<const std::uint8_t> message);

    // Memory access, for tests: the bytes of one block from an address; bytes outside every
    // block read as 0 and are not written.
    std::vector<std::uint8_t> Read(const TAddress &address, int size) const;
    std::uint8_t ReadByte(const TAddress &address) const;
    void Write(const TAddress &address, std::span<const std::uint8_t> bytes);

    // Every message received, in order, as received.
    std::vector<TMessage> Log() const;
    void ClearLog();

    int DeviceId() const { return Id; }

private:
    struct TBlock;
    TBlock *FindBlock(const TAddress &blockAddress);
    const TBlock *FindBlock(const TAddress &blockAddress) const;

    int Id;
    mutable std::mutex Lock;
    std::vector<TBlock> Blocks;
    std::vector<TMessage> Received;
};

} // namespace instrument
