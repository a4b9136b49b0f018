// Arbitrary bytes as a .syx patch file, as they are and with the Roland checksum of every message
// made right (chosen by the first byte), so the input reaches the length and block checks.
// Checked: a refused file takes nothing and names an offset inside it; a taken one has patch
// messages of one part 0..6, each inside its block, and one patch for each part it names, by
// part, each with its name and missing blocks read within its data; what it sends, for a part and
// device taken from the input, is sound data sets of at most 128 data bytes that write exactly the
// file's bytes into that part's patch, and the file's bytes lie in a heap block of their own exact
// size, so a read beyond their end is caught (AddressSanitizer).

#include "sysex/PatchFile.h"
#include "sysex/RolandMessage.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <span>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

std::uint32_t Linear(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
{
    return (std::uint32_t(a) << 21) | (std::uint32_t(b) << 14) | (std::uint32_t(c) << 7) | d;
}

void Parse(const std::vector<std::uint8_t> &bytes, int deviceId, int part)
{
    std::unique_ptr<std::uint8_t[]> exact(bytes.empty() ? nullptr : new std::uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    const auto read = sysex::ParsePatchFile({exact.get(), bytes.size()});
    if (read.Error) {
        Check(read.File.Messages.empty());
        Check(read.Error->Offset <= bytes.size() && !read.Error->Why.empty());
        return;
    }
    Check(!read.File.Messages.empty() && read.File.Part >= 0 && read.File.Part <= 6);
    for (std::size_t i = 0; i < read.Parts.size(); ++i) {
        Check(i == 0 || read.Parts[i - 1].Part < read.Parts[i].Part);
        Check(sysex::PatchFileName(read.Parts[i]).value_or("").size() <= 12);
        Check(sysex::MissingFileBlocks(read.Parts[i]).size() <= 5);
    }
    std::map<std::uint32_t, std::uint8_t> expected;
    for (const sysex::TPatchMessage &message : read.File.Messages) {
        const int page = message.Page;
        Check(page < 0x18 && message.Offset < 0x80 && !message.Data.empty());
        const int end = page < 0x10 ? 0x10 : (page & ~1) + 2;
        Check(std::size_t(message.Offset) + message.Data.size() <= std::size_t(end - page) * 128);
        std::uint32_t address = Linear(0x02, std::uint8_t(part), message.Page, message.Offset);
        for (std::uint8_t byte : message.Data) {
            Check(byte < 0x80);
            expected[address++] = byte;
        }
    }
    std::map<std::uint32_t, std::uint8_t> written;
    for (const midi::TByteStream &packet : sysex::PatchFileMessages(read.File, deviceId, part)) {
        Check(!midi::SysExFault(packet));
        Check(packet.size() >= 13 && packet.size() - 12 <= sysex::MaxPacketData);
        Check(packet[1] == 0x41 && packet[2] == deviceId - 1 && packet[3] == 0x00
              && packet[4] == 0x0B && packet[5] == 0x12);
        Check(packet[6] == 0x02 && packet[7] == part);
        Check(packet[packet.size() - 2]
              == midi::RolandChecksum(packet.data() + 6, packet.size() - 8));
        std::uint32_t address = Linear(packet[6], packet[7], packet[8], packet[9]);
        for (std::size_t i = 10; i + 2 < packet.size(); ++i)
            written[address++] = packet[i];
    }
    // Later messages may write over earlier ones: the last value wins on both sides.
    Check(written == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > sysex::MaxPatchFileBytes)
        return 0;
    const std::vector<std::uint8_t> whole(data, data + size);
    const int deviceId = size ? 17 + data[0] % 16 : 17;
    const int part = size > 1 ? data[1] % 7 : 0;
    Parse(whole, deviceId, part);
    if (size && (data[0] & 1)) {
        std::vector<std::uint8_t> summed = whole;
        std::size_t start = 0;
        for (std::size_t i = 0; i < summed.size(); ++i) {
            if (summed[i] == 0xF0)
                start = i;
            else if (summed[i] == 0xF7 && i >= start + 8)
                summed[i - 1] = midi::RolandChecksum(&summed[start + 6], i - 1 - (start + 6));
        }
        Parse(summed, deviceId, part);
    }
    return 0;
}
