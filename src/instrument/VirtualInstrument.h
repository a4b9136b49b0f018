#pragma once

// The built-in virtual MC-307: the parts of the instrument's memory the program touches and
// those a pattern bulk dump fills, data-set messages stored, data requests answered as the
// instrument answers them, control changes and model-3A messages applied to the pattern part
// blocks, and a log of what it received.

#include "BulkDump.h"
#include "InstrumentContents.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace instrument {

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
    // The same, for a message put on the cable at the given moment (a port that knows that
    // better than the moment of the call). The cable carries one byte at a time, 320 us each:
    // the message's bytes follow those still on their way, and it has arrived when its last
    // byte has.
    // A port that may time a message up to leeway before it was really handed over has that
    // much forgiven.
    std::vector<TMessage> Receive(std::span<const std::uint8_t> message,
                                  std::chrono::steady_clock::time_point handed,
                                  std::chrono::microseconds leeway = {});

    // The answers to a data request, as Receive would give them, for tests that inspect the
    // instrument with the program's own requests: not received, so neither logged nor on the
    // cable. Anything but a whole request gets none.
    std::vector<TMessage> Answer(std::span<const std::uint8_t> request) const;

    // Strict timing: as the manual describes the hardware, a data set (Data Set 1, of the
    // instrument's model or of model 3A) whose first byte arrives less than StrictGap after the
    // previous one's last byte is dropped. On when OMBRIX_STRICT_TIMING=1 at construction.
    // Tolerance widens the judgement for ports that know arrival times only roughly.
    void SetStrictTiming(bool strict, std::chrono::microseconds tolerance = {});
    bool StrictTiming() const;
    // Data sets dropped for coming too early, since construction.
    std::uint64_t StrictDrops() const;
    // Values written to the rhythm set outside their stored range while strict, since
    // construction (each byte counts); the values are stored all the same.
    std::uint64_t ValuesOutOfRange() const;

    // Note On and Note Off messages on channel 10, part R's, since construction; a Note On of
    // velocity 0 counts as a Note Off.
    std::uint64_t RhythmNoteOns() const;
    std::uint64_t RhythmNoteOffs() const;
    static constexpr std::chrono::milliseconds StrictGap {20};
    // Under strict timing, also the data sets received that wrote an MFX value outside its
    // range for the MFX type they leave: the type itself, or a parameter the type uses. The
    // program's own messages never do.
    std::uint64_t MfxRangeFaults() const;

    // Memory access, for tests: the bytes of one block from an address; bytes outside every
    // block read as 0 and are not written. Write changes the bytes alone: unlike a data-set
    // message it loads no patch when it touches a patch selection.
    std::vector<std::uint8_t> Read(const TAddress &address, int size) const;
    std::uint8_t ReadByte(const TAddress &address) const;
    void Write(const TAddress &address, std::span<const std::uint8_t> bytes);

    // A bulk dump's data sets written into memory in order, as Write does, whatever device they
    // were sent to: a patch selection among them loads no patch, so the temporary patches keep
    // the dump's bytes. In the areas the instrument only holds (HeldAreas), each data set's
    // bytes are kept as a piece of their own and a request answers them piece by piece, as the
    // dump carried them.
    void Load(const TBulkDump &dump);

    // The name of the stored patch a selection names (group byte 1..9, patch number), loaded
    // into a part's temporary patch with it. Renaming one, as an owner does on the instrument,
    // changes what later selections load; a name is cut or padded with spaces to PatchNameSize
    // characters, and a character outside 32..125 becomes a space. A data set to a temporary
    // patch's name renames only that temporary patch.
    std::string StoredPatchName(int groupByte, int number) const;
    void RenameStoredPatch(int groupByte, int number, std::string_view name);

    // Every message received, in order, as received (the most recent LogLimit ones).
    std::vector<TMessage> Log() const;
    void ClearLog();
    // How many messages the log keeps; the program's own instrument keeps none, since nothing
    // there reads it and an hour's session would fill it.
    void SetLogLimit(std::size_t limit);
    // Messages received since construction, logged or not.
    std::uint64_t ReceivedCount() const;

    int DeviceId() const { return Id; }

    // A long session with the program sends many control changes; the oldest entries go first.
    static constexpr std::size_t LogLimit = 100000;

private:
    struct TBlock
    {
        std::uint32_t Start; // linear address
        TBytes Bytes;
    };
    // Data Set 1 for this instrument, of its own model or of model 3A.
    bool IsDataSet(std::span<const std::uint8_t> message) const;
    // The caller holds Lock for all of these.
    TBlock *FindBlock(const TAddress &blockAddress);
    const TBlock *FindBlock(const TAddress &blockAddress) const;
    void ReceiveSysEx(std::span<const std::uint8_t> message, std::vector<TMessage> &answers);
    std::vector<TMessage> AnswerRequest(std::uint32_t start, std::uint32_t size) const;
    // Stores the bytes that fall inside blocks and drops the others.
    void Store(std::uint32_t start, std::span<const std::uint8_t> bytes);
    // Store, then write the MFX values written to their other copy, and load the patch of every
    // part whose patch selection was written.
    void StoreDataSet(std::uint32_t start, std::span<const std::uint8_t> bytes);
    void CheckMfxRange(std::uint32_t start, std::span<const std::uint8_t> bytes);
    void MirrorMfx(std::uint32_t start, std::span<const std::uint8_t> bytes);
    // The bytes from start on, 0 outside every block and piece.
    TBytes BytesAt(std::uint32_t start, std::uint32_t size) const;
    void LoadPatch(int part);
    // Stores the bytes of [from, to), which lies in a held area, into the pieces there, making
    // new pieces for the bytes no piece holds yet.
    void StoreHeld(std::uint32_t start, std::span<const std::uint8_t> bytes, std::uint64_t from,
                   std::uint64_t to);
    void ApplyControlChanges(std::span<const std::uint8_t> message);
    void ApplyModel3A(std::span<const std::uint8_t> payload);
    void CountRhythmNote(std::span<const std::uint8_t> message);
    void SetPartByte(std::uint8_t blockByte, int offset, std::uint8_t value);

    int Id;
    std::uint8_t DeviceByte;
    mutable std::mutex Lock;
    bool Strict = false;
    std::chrono::microseconds Tolerance {};
    std::uint64_t Drops = 0;
    std::uint64_t OutOfRange = 0;
    std::uint64_t NoteOns = 0;
    std::uint64_t NoteOffs = 0;
    std::uint64_t MfxFaults = 0;
    // When the last data set for this instrument ended on the cable, and when the cable is free.
    std::chrono::steady_clock::time_point LastDataSetEnd {};
    bool HadDataSet = false;
    std::chrono::steady_clock::time_point CableFree = std::chrono::steady_clock::time_point::min();
    std::vector<TBlock> Blocks; // in address order, not overlapping
    // What data sets wrote in the held areas, by start address, not overlapping each other or a
    // block.
    std::map<std::uint32_t, TBytes> Held;
    std::size_t HeldBytes = 0;
    // Stored patches renamed, by group byte and patch number.
    std::map<std::pair<int, int>, std::string> RenamedPatches;
    std::deque<TMessage> Received;
    std::size_t ReceivedLimit = LogLimit;
    std::uint64_t ReceivedTotal = 0;
};

} // namespace instrument
