#pragma once

// File > Back Up Pattern..., Restore Pattern..., Receive Bulk Dump... and Compare Files...: the
// whole current pattern kept in a .syx file in the order of the instrument's own bulk dump, and
// sent back, then read back and compared byte for byte, so that the report says exactly what
// was kept and proves what was restored. Each exchange is a job of the program's queue.

#include "session/AnswerWait.h"
#include "sysex/PatternAreas.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <vector>

class QMenu;
class QProgressDialog;
class QWidget;

namespace midi {
class IMidiOut;
class IMidiOuts;
} // namespace midi

namespace pattern {

struct TPatternDevices
{
    int MidiOutIndex = 0;
    int DeviceId = 0;
};

class TPatternTransfer : public QObject
{
    Q_OBJECT
public:
    // window: where the dialogs open; devices: the main window's output and device ID, read at
    // each job; outputs: what every message goes through.
    TPatternTransfer(QWidget &window, std::function<TPatternDevices()> devices,
                     midi::IMidiOuts &outputs);

    // Puts the items in the File menu, after the patch files' items.
    void AddTo(QMenu &file);

    // The work of the menu's items once their file is chosen, each a job of its own.
    void BackUp(const QString &path);
    void Restore(const QString &path);
    void Compare(const QString &first, const QString &second);

    // The last report, shown in its box.
    const QString &Report() const { return LastReport; }
    // Where the restore kept the pattern it replaced.
    const QString &UndoFile() const { return LastUndoFile; }

signals:
    void Reported(const QString &report);
    // One more step of a backup's or a restore's progress.
    void Progressed(int done);

private:
    struct TRead
    {
        sysex::areas::TAddress Address;
        int Size;
    };
    // Asks for the blocks, one request each, and waits until every byte has come or the bound.
    void Ask(midi::IMidiOut &out, std::span<const TRead> reads, int boundMs);
    // Reads every area of the current pattern into Received; returns the report's lines on what
    // did not answer. Cancelled leaves it part-way.
    QStringList ReadPattern(midi::IMidiOut &out, QProgressDialog &progress);
    // The notes, page by page, until a short page or one that does not answer.
    int ReadNotes(midi::IMidiOut &out, QProgressDialog &progress);
    void Take(std::span<const std::uint8_t> message);
    // The backup's file: the answered data sets in the dump's order.
    std::vector<sysex::areas::TDumpMessage> Backup() const;
    // Writes a backup into path; returns its report. Throws when it cannot be written.
    QString BackUpInto(const QString &path, QProgressDialog &progress);
    QString SendAndVerify(const std::vector<sysex::areas::TDumpMessage> &messages,
                          QProgressDialog &progress);
    void ShowReport(const QString &text, bool withDifferences);

    QWidget &Window;
    std::function<TPatternDevices()> Devices;
    midi::IMidiOuts &Outputs;
    TAnswerWait Answer;
    std::uint8_t DeviceByte = 0x10;
    // Data sets answered, by linear address: one a block, as it came.
    std::map<std::uint32_t, std::vector<std::uint8_t>> Received;
    // The notes are being read: a short page ends them.
    bool ReadingNotes = false;
    // A short page of notes was answered.
    std::optional<std::uint32_t> ShortPageEnd;
    QString LastReport;
    QString LastUndoFile;
    // What the last restore wrote and read back, for its differences.
    sysex::areas::TImage Written;
    sysex::areas::TImage ReadBack;
};

// A .syx file's data sets, bounded; an error naming the file when it cannot be read or holds
// none of the instrument.
struct TDumpLoad
{
    std::vector<sysex::areas::TDumpMessage> DataSets;
    QString Error;
};
TDumpLoad LoadDump(const QString &path);

} // namespace pattern
