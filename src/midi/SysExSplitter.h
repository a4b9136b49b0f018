#pragma once

// Received bytes cut into the entries the window thread is given. The service hands over a long
// message in as many buffers as it needs, and a device that stops in the middle of a System
// Exclusive message (a cable pulled, a fragment sent) leaves it without its F7: the next
// message's bytes would then be taken for its data. Here the bytes of every buffer of a device
// run through one splitter, in order, so that a message spread over several buffers is joined
// again, and any status byte other than real-time ends the message it falls into.
//
// What comes out, one entry after the other:
// - Message: F0, data bytes, F7; the only kind a decoder may be given.
// - CutShort: everything else that is not real-time, up to the next F0: a message that lost its
//   end (ended by another status byte), or bytes that lost their beginning. Kept for the monitor.
// - Short: a short message the service handed over on its own (see Short()).
// - RealTime: one byte of F8 to FF. One that falls inside another entry comes right after that
//   entry, as it cannot be inside it.
//
// Pure code for the delivery thread: it allocates nothing, takes no lock, throws nothing.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace midi {

class TSysExSplitter
{
public:
    enum class TKind : std::uint8_t { Message, CutShort, Short, RealTime };

    // Told the bytes of each entry, in one or more pieces, then that it ended and as what.
    // Entries never overlap: every piece belongs to the entry that ended last.
    class ISink
    {
    public:
        virtual void Piece(std::span<const std::uint8_t> bytes) noexcept = 0;
        virtual void End(TKind kind) noexcept = 0;

    protected:
        ~ISink() = default;
    };

    // Real-time bytes held while an entry is open; past this many the rest are dropped.
    static constexpr std::size_t HeldRealTimeCount = 64;

    // The bytes of one buffer, as they came after the previous buffer's.
    void Feed(std::span<const std::uint8_t> bytes, ISink &sink) noexcept;
    // A short message (a status byte and its data bytes) the service handed over by itself: a
    // real-time one is held like one met in a buffer; any other ends an entry left open.
    void Short(std::span<const std::uint8_t> message, ISink &sink) noexcept;
    // Forgets an entry left open (the device was closed), without ending it: the sink forgets
    // the pieces it was given of it.
    void Reset() noexcept;

    // Real-time bytes dropped since the start because too many came inside one entry.
    std::uint64_t DroppedRealTime() const noexcept { return Dropped; }

private:
    enum class TState : std::uint8_t { Between, InMessage, InCutShort };

    void Close(TKind kind, ISink &sink) noexcept;
    void Hold(std::uint8_t realTime, ISink &sink) noexcept;

    TState State = TState::Between;
    std::array<std::uint8_t, HeldRealTimeCount> Held {};
    std::size_t HeldCount = 0;
    std::uint64_t Dropped = 0;
};

// Whether bytes are one whole System Exclusive message: F0, data bytes only, F7.
bool IsWholeSysEx(std::span<const std::uint8_t> bytes) noexcept;
// How many bytes a short message has, its status byte included; 0 for a byte that starts none.
std::size_t ShortMessageSize(std::uint8_t status) noexcept;
// Whether received bytes are cut short: neither one whole System Exclusive message, nor one whole
// short message, nor one real-time byte.
bool IsCutShort(std::span<const std::uint8_t> bytes) noexcept;

} // namespace midi
