// Arbitrary received bytes through the splitter of the receiving side. The first byte sets the
// size of the buffers the rest is cut into (1 to 256 bytes), the second how short messages reach
// it: bit 0 hands each status byte below F0 and its data bytes over by itself, as a service hands
// short messages; bit 1 does the same for real-time bytes. Checked: a message is F0, data bytes,
// F7; a cut-short piece holds no F0 after its first byte and is cut short by the monitor's
// measure, unless it is a whole short message met in a buffer; a short message starts with its
// status byte; a real-time entry is one byte of F8 or more; every byte that is
// not real-time comes out exactly once and in order; the real-time bytes come out in order, none
// missing but those counted as dropped.

#include "midi/SysExSplitter.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

using midi::TSysExSplitter;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool IsRealTime(std::uint8_t byte)
{
    return byte >= 0xF8;
}

class TCheckingSink final : public TSysExSplitter::ISink
{
public:
    void Piece(std::span<const std::uint8_t> bytes) noexcept override
    {
        Check(!bytes.empty());
        Entry.insert(Entry.end(), bytes.begin(), bytes.end());
    }

    void End(TSysExSplitter::TKind kind) noexcept override
    {
        using TKind = TSysExSplitter::TKind;
        Check(!Entry.empty());
        const std::uint8_t first = Entry.front();
        switch (kind) {
        case TKind::Message:
            Check(midi::IsWholeSysEx(Entry));
            break;
        case TKind::CutShort:
            Check(midi::IsCutShort(Entry) || Entry.size() == midi::ShortMessageSize(first));
            for (std::size_t i = 1; i < Entry.size(); ++i)
                Check(Entry[i] != 0xF0);
            break;
        case TKind::Short:
            Check(first >= 0x80 && first < 0xF8 && first != 0xF0 && first != 0xF7);
            break;
        case TKind::RealTime:
            Check(Entry.size() == 1 && IsRealTime(first));
            RealTime.push_back(first);
            Entry.clear();
            return;
        }
        for (std::uint8_t byte : Entry)
            Check(!IsRealTime(byte));
        Others.insert(Others.end(), Entry.begin(), Entry.end());
        Entry.clear();
    }

    std::vector<std::uint8_t> Entry;
    std::vector<std::uint8_t> Others;
    std::vector<std::uint8_t> RealTime;
};

// How long the short message that starts at bytes[at] is: its status byte and the data bytes
// that follow it, at most two.
std::size_t ShortLength(std::span<const std::uint8_t> bytes, std::size_t at)
{
    std::size_t end = at + 1;
    while (end < bytes.size() && end < at + 3 && bytes[end] < 0x80)
        ++end;
    return end - at;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::size_t bufferSize = std::size_t(data[0]) + 1;
    const bool shortStatus = data[1] & 1;
    const bool shortRealTime = data[1] & 2;
    const std::span<const std::uint8_t> stream(data + 2, size - 2);

    TSysExSplitter splitter;
    TCheckingSink sink;
    std::size_t at = 0;
    while (at < stream.size()) {
        const std::uint8_t byte = stream[at];
        const bool alone
            = (shortStatus && byte >= 0x80 && byte < 0xF0) || (shortRealTime && IsRealTime(byte));
        if (alone) {
            const std::size_t length = IsRealTime(byte) ? 1 : ShortLength(stream, at);
            splitter.Short(stream.subspan(at, length), sink);
            at += length;
            continue;
        }
        // A buffer ends where a byte handed over alone begins.
        std::size_t end = at;
        while (end < stream.size() && end < at + bufferSize
               && !((shortStatus && stream[end] >= 0x80 && stream[end] < 0xF0)
                    || (shortRealTime && IsRealTime(stream[end]))))
            ++end;
        splitter.Feed(stream.subspan(at, end - at), sink);
        at = end;
    }
    // An F0 ends whatever is still open; that F0 itself stays open.
    const std::uint8_t start = 0xF0;
    splitter.Feed({&start, 1}, sink);
    Check(sink.Entry == std::vector<std::uint8_t> {0xF0});

    std::vector<std::uint8_t> others;
    std::vector<std::uint8_t> realTime;
    for (std::uint8_t byte : stream)
        (IsRealTime(byte) ? realTime : others).push_back(byte);
    Check(sink.Others == others);
    Check(sink.RealTime.size() + splitter.DroppedRealTime() == realTime.size());
    // Dropped ones are the last of a run held inside one entry: what came out is in order.
    std::size_t next = 0;
    for (std::uint8_t byte : sink.RealTime) {
        while (next < realTime.size() && realTime[next] != byte)
            ++next;
        Check(next < realTime.size());
        ++next;
    }
    return 0;
}
