#include "SysExSplitter.h"

namespace midi {

namespace {
constexpr std::uint8_t SysExStart = 0xF0;
constexpr std::uint8_t SysExEnd = 0xF7;
constexpr std::uint8_t FirstRealTime = 0xF8;

bool IsStatus(std::uint8_t byte)
{
    return byte >= 0x80;
}
} // namespace

bool IsWholeSysEx(std::span<const std::uint8_t> bytes) noexcept
{
    if (bytes.size() < 2 || bytes.front() != SysExStart || bytes.back() != SysExEnd)
        return false;
    for (std::size_t i = 1; i + 1 < bytes.size(); ++i)
        if (IsStatus(bytes[i]))
            return false;
    return true;
}

std::size_t ShortMessageSize(std::uint8_t status) noexcept
{
    if (!IsStatus(status) || status == SysExStart || status == SysExEnd)
        return 0;
    if (status >= 0xF0)
        return status == 0xF2 ? 3 : status == 0xF1 || status == 0xF3 ? 2 : 1;
    return (status & 0xE0) == 0xC0 ? 2 : 3;
}

bool IsCutShort(std::span<const std::uint8_t> bytes) noexcept
{
    if (bytes.empty())
        return false;
    const std::uint8_t first = bytes.front();
    if (first == SysExStart)
        return !IsWholeSysEx(bytes);
    if (bytes.size() != ShortMessageSize(first))
        return true;
    for (std::size_t i = 1; i < bytes.size(); ++i)
        if (IsStatus(bytes[i]))
            return true;
    return false;
}

void TSysExSplitter::Feed(std::span<const std::uint8_t> bytes, ISink &sink) noexcept
{
    // The bytes of the open entry not yet handed on start at run.
    std::size_t run = 0;
    const auto handOn = [&](std::size_t end) {
        if (State != TState::Between && end > run)
            sink.Piece(bytes.subspan(run, end - run));
    };
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t byte = bytes[i];
        if (byte >= FirstRealTime) {
            handOn(i);
            run = i + 1;
            Hold(byte, sink);
        } else if (byte == SysExStart) {
            handOn(i);
            if (State != TState::Between)
                Close(TKind::CutShort, sink);
            State = TState::InMessage;
            run = i;
        } else if (State == TState::Between) {
            // Bytes with no F0 ahead of them, or after a message's F7: a beginning was lost.
            State = TState::InCutShort;
            run = i;
        } else if (State == TState::InMessage && byte == SysExEnd) {
            handOn(i + 1);
            run = i + 1;
            Close(TKind::Message, sink);
        } else if (State == TState::InMessage && IsStatus(byte)) {
            State = TState::InCutShort;
        }
    }
    handOn(bytes.size());
}

void TSysExSplitter::Short(std::span<const std::uint8_t> message, ISink &sink) noexcept
{
    if (message.empty())
        return;
    const std::uint8_t status = message[0];
    if (!IsStatus(status) || status == SysExStart || status == SysExEnd
        || status >= FirstRealTime) {
        Feed(message, sink);
        return;
    }
    if (State != TState::Between)
        Close(TKind::CutShort, sink);
    sink.Piece(message);
    sink.End(TKind::Short);
}

void TSysExSplitter::Reset() noexcept
{
    State = TState::Between;
    HeldCount = 0;
}

void TSysExSplitter::Close(TKind kind, ISink &sink) noexcept
{
    sink.End(kind);
    State = TState::Between;
    for (std::size_t i = 0; i < HeldCount; ++i) {
        sink.Piece({&Held[i], 1});
        sink.End(TKind::RealTime);
    }
    HeldCount = 0;
}

void TSysExSplitter::Hold(std::uint8_t realTime, ISink &sink) noexcept
{
    if (State == TState::Between) {
        sink.Piece({&realTime, 1});
        sink.End(TKind::RealTime);
    } else if (HeldCount < Held.size()) {
        Held[HeldCount++] = realTime;
    } else {
        ++Dropped;
    }
}

} // namespace midi
