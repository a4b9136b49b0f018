#pragma once

// The messages the monitor lists, oldest first. Appending stores the bytes and a little more;
// the hex text and the meaning are made only when a view asks for them, so a message costs the
// same whatever it means. Past the cap the oldest go, a block at a time, so that the view is
// told of a removal once per block rather than once per message.

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

#include <chrono>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace monitor {

struct TMonitorRow
{
    qint64 Ms = 0;
    bool Sent = false;
    std::uint16_t Device = 0; // index into the model's device names
    std::vector<std::uint8_t> Bytes;
    // Not zero: a row for this many messages that never left, their device having failed.
    std::uint32_t NotSent = 0;
    // The MFX type in force when the message passed (-1 none known): a parameter is named after
    // the type it was sent for, whatever came later.
    std::int8_t MfxType = -1;
};

class TMonitorModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum TColumn { TimeColumn, DirectionColumn, DeviceColumn, BytesColumn, MeaningColumn };
    static constexpr int ColumnCount = 5;
    static constexpr int DefaultCap = 100000;
    // Until the monitor window is first opened: enough to show what just happened, without
    // holding an hour's traffic for a window nobody may open.
    static constexpr int UnwatchedCap = 2000;
    static constexpr int DefaultBlock = 1000;

    explicit TMonitorModel(QObject *parent = nullptr, int cap = DefaultCap,
                           int block = DefaultBlock);

    void Append(bool sent, const std::string &device, std::span<const std::uint8_t> bytes);
    // With the time given; a row goes after every row of its time or earlier, so that a message
    // heard late still stands where it passed.
    void Append(qint64 ms, bool sent, std::string_view device, std::span<const std::uint8_t> bytes);
    void AppendNotSent(qint64 ms, std::string_view device, std::size_t count);
    // The model's time of a moment.
    qint64 MsAt(std::chrono::steady_clock::time_point at) const;
    void Clear();
    // A lower cap drops the oldest rows at once.
    void SetCap(int cap);
    int CapOfRows() const { return Cap; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    const TMonitorRow &Row(int row) const { return Rows[static_cast<std::size_t>(row)]; }
    QString Text(int row, int column) const;
    // One line per row, its columns separated by tabs.
    QString RowsText(const std::vector<int> &rows) const;
    // The System Exclusive messages among the rows, as a .syx file holds them (the 00 before a
    // model-3A message's F0 is not part of the message).
    QByteArray RowsSyx(const std::vector<int> &rows) const;

private:
    void Insert(TMonitorRow row, std::string_view device);

    int Cap;
    int Block;
    std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
    std::deque<TMonitorRow> Rows;
    // The MFX type last sent or received, in the order the messages arrived.
    std::int8_t MfxType = -1;
    std::vector<std::string> DeviceKeys; // the names as the devices give them
    std::vector<QString> DeviceNames; // the same, shown
};

// What the monitor shows of the model.
class TMonitorFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    enum class TDirection { Both, SentOnly, ReceivedOnly };
    explicit TMonitorFilter(QObject *parent = nullptr);

    void SetHideSensing(bool hide);
    void SetDirection(TDirection direction);
    void SetText(const QString &text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    bool HideSensing = true;
    TDirection Direction = TDirection::Both;
    QString Text;
};

// Writes the whole file or nothing; returns the error to show, or an empty text.
QString SaveFile(const QString &path, const QByteArray &contents);

} // namespace monitor
