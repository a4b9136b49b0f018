#include "RhythmContents.h"

#include "sysex/RhythmParams.h"

#include <algorithm>
#include <string>

namespace instrument {

namespace rhythm = sysex::rhythm;

namespace {

std::uint64_t Mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// A fixed value in [min, max] for one key and one byte.
int Drawn(int note, int offset, int min, int max)
{
    const auto span = static_cast<std::uint64_t>(max - min + 1);
    return min + static_cast<int>(Mix(std::uint64_t(note) << 8 | std::uint64_t(offset)) % span);
}

} // namespace

TBytes InitialRhythmName()
{
    std::string name = "Velmo Beats";
    name.resize(rhythm::NameSize, ' ');
    return {name.begin(), name.end()};
}

TBytes InitialRhythmKey(int note)
{
    TBytes key(rhythm::KeyBlockSize, 0);
    for (int offset = 0; offset < rhythm::KeyBlockSize; ++offset) {
        const rhythm::TKeyByte what = rhythm::KeyByteAt(offset);
        key[static_cast<std::size_t>(offset)]
            = static_cast<std::uint8_t>(Drawn(note, offset, what.Min, what.Max));
    }
    // The wave is one the group holds; every key sounds.
    const int group = Drawn(note, 0x100, rhythm::WaveGroupMin, rhythm::WaveGroupMax);
    const int wave = Drawn(note, 0x101, 0, rhythm::WavesInGroup[std::size_t(group - 1)] - 1);
    key[rhythm::WaveGroupOffset] = static_cast<std::uint8_t>(group);
    key[rhythm::WaveNumberHighOffset] = static_cast<std::uint8_t>(wave / 16);
    key[rhythm::WaveNumberLowOffset] = static_cast<std::uint8_t>(wave % 16);
    key[rhythm::SwitchOffset] = 1;
    for (const rhythm::TReservedByte &reserved : rhythm::ReservedBytes)
        key[reserved.Offset] = reserved.DumpByte;
    return key;
}

int RhythmValuesOutOfRange(std::uint32_t start, std::span<const std::uint8_t> bytes)
{
    const std::uint32_t setStart = LinearAddress(rhythm::BlockAddress(rhythm::NameBlock));
    int count = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint64_t at = std::uint64_t(start) + i;
        if (at < setStart || at >= setStart + (1u << 14))
            continue;
        const int block = rhythm::BlockOfByte(static_cast<int>((at >> 7) & 0x7F));
        const auto offset = static_cast<int>(at & 0x7F);
        if (block < 0 || offset >= rhythm::BlockSize(block))
            continue;
        int min = rhythm::NameFirstChar, max = rhythm::NameLastChar;
        if (block != rhythm::NameBlock) {
            const rhythm::TKeyByte what = rhythm::KeyByteAt(offset);
            min = what.Min;
            max = what.Max;
        }
        if (bytes[i] < min || bytes[i] > max)
            ++count;
    }
    return count;
}

} // namespace instrument
