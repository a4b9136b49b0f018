#include "ReceiveRing.h"

#include <algorithm>
#include <cstring>

namespace midi {

TReceiveRing::TReceiveRing()
    : Slots(std::make_unique<std::array<TEntry, SlotCount>>())
{ }

TReceiveRing::TEntry *TReceiveRing::WriteSlot() noexcept
{
    const std::uint64_t tail = Tail.load(std::memory_order_relaxed);
    if (tail - Head.load(std::memory_order_acquire) >= SlotCount)
        return nullptr;
    return &(*Slots)[tail % SlotCount];
}

void TReceiveRing::Append(std::span<const std::uint8_t> piece) noexcept
{
    TEntry *slot = WriteSlot();
    if (slot == nullptr) {
        NoRoom = true;
        return;
    }
    // What fits is kept even past the slot's end: a cut-short piece shows its beginning.
    if (!NoRoom && Written < SlotSize)
        std::memcpy(slot->Bytes.data() + Written, piece.data(),
                    std::min(piece.size(), SlotSize - Written));
    Overflow = Overflow || Written + piece.size() > SlotSize;
    Written += piece.size();
}

bool TReceiveRing::Commit(bool forHandler) noexcept
{
    return Finish(TKind::Message, forHandler);
}

bool TReceiveRing::CommitCutShort() noexcept
{
    return Finish(TKind::CutShort, false);
}

bool TReceiveRing::Finish(TKind kind, bool forHandler) noexcept
{
    TEntry *slot = WriteSlot();
    const std::size_t written = Written;
    const bool overflow = Overflow;
    const bool noRoom = NoRoom;
    Written = 0;
    Overflow = false;
    NoRoom = false;
    if (slot == nullptr || noRoom) {
        LostCount.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    if (kind == TKind::CutShort) {
        slot->Kind = kind;
        slot->Size = static_cast<std::uint32_t>(std::min(written, SlotSize));
    } else {
        slot->Kind = overflow ? TKind::TooLong : kind;
        slot->Size = static_cast<std::uint32_t>(std::min<std::size_t>(written, UINT32_MAX));
    }
    slot->Code = 0;
    slot->ForHandler = forHandler;
    Tail.store(Tail.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    return true;
}

void TReceiveRing::Discard() noexcept
{
    Written = 0;
    Overflow = false;
    NoRoom = false;
}

bool TReceiveRing::PushFailure(std::uint32_t code) noexcept
{
    TEntry *slot = WriteSlot();
    if (slot == nullptr) {
        LostCount.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    slot->Kind = TKind::Failure;
    slot->Size = 0;
    slot->Code = code;
    Tail.store(Tail.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    return true;
}

const TReceiveRing::TEntry *TReceiveRing::Front() const noexcept
{
    const std::uint64_t head = Head.load(std::memory_order_relaxed);
    if (head == Tail.load(std::memory_order_acquire))
        return nullptr;
    return &(*Slots)[head % SlotCount];
}

void TReceiveRing::Pop() noexcept
{
    Head.store(Head.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

} // namespace midi
