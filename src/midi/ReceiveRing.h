#pragma once

// What a MIDI thread hands to the window thread: complete received messages, each copied into
// a slot of a ring allocated before the device opens. One thread writes (the device's delivery
// thread), one thread reads (the window thread); neither waits for the other, and the writing
// side takes no lock, allocates nothing and throws nothing. A message longer than a slot, or one
// that arrives while every slot is full, is not cut: it becomes a record of its loss, so the
// reader can tell the user.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace midi {

class TReceiveRing
{
public:
    static constexpr std::size_t SlotSize = 4096;
    static constexpr std::size_t SlotCount = 64;

    enum class TKind : std::uint8_t {
        Message, // Bytes holds the message
        TooLong, // Size bytes arrived; more than a slot holds
        Failure, // the device could not take its buffer back: Code is the service's result
        CutShort, // Bytes holds what arrived of a message that lost its end or its beginning,
                  // as much as a slot holds
    };

    struct TEntry
    {
        TKind Kind = TKind::Message;
        std::uint32_t Size = 0;
        std::uint32_t Code = 0;
        // Whether a handler was attached when it arrived: only then may one be given it.
        bool ForHandler = true;
        std::array<std::uint8_t, SlotSize> Bytes {};

        // The bytes kept: a message's, or a cut-short piece's.
        std::span<const std::uint8_t> Message() const
        {
            return {Bytes.data(), Kind == TKind::Message || Kind == TKind::CutShort ? Size : 0};
        }
    };

    TReceiveRing();

    // Writing side. A message is written piece by piece and committed when its last piece is
    // in; a message begun while the ring is full is counted as lost when it ends.
    void Append(std::span<const std::uint8_t> piece) noexcept;
    // Ends the message being written. Returns false when nothing could be recorded (ring full).
    bool Commit(bool forHandler = true) noexcept;
    // Ends it as a cut-short piece: never for a handler, and kept up to a slot's size.
    bool CommitCutShort() noexcept;
    // Forgets the message being written.
    void Discard() noexcept;
    // Records a failure in a slot of its own, between messages.
    bool PushFailure(std::uint32_t code) noexcept;

    // Reading side: the oldest entry, or null; Pop frees it for the writer.
    const TEntry *Front() const noexcept;
    void Pop() noexcept;

    // Messages that found every slot full: they are gone without a record of their own.
    std::uint64_t Lost() const noexcept { return LostCount.load(std::memory_order_relaxed); }

private:
    TEntry *WriteSlot() noexcept;
    bool Finish(TKind kind, bool forHandler) noexcept;

    std::unique_ptr<std::array<TEntry, SlotCount>> Slots;
    // Head: next entry to read; Tail: next slot to write. Both count up for ever; the slot is
    // the count modulo SlotCount.
    std::atomic<std::uint64_t> Head {0};
    std::atomic<std::uint64_t> Tail {0};
    // The writer's own state between pieces.
    std::size_t Written = 0;
    bool Overflow = false; // the message outgrew its slot
    bool NoRoom = false; // the message began while every slot was full
    std::atomic<std::uint64_t> LostCount {0};
};

} // namespace midi
