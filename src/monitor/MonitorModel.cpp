#include "MonitorModel.h"

#include "midi/SysExSplitter.h"
#include "sysex/MessageMeaning.h"
#include "sysex/PatternMessages.h"

#include <algorithm>
#include <iterator>

#include <QSaveFile>

namespace monitor {

namespace {
QString Hex(std::span<const std::uint8_t> bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    QString text(static_cast<qsizetype>(bytes.size() * 3), QLatin1Char(' '));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[static_cast<qsizetype>(i * 3)] = QLatin1Char(digits[bytes[i] >> 4]);
        text[static_cast<qsizetype>(i * 3 + 1)] = QLatin1Char(digits[bytes[i] & 0x0F]);
    }
    text.chop(1);
    return text;
}

bool IsSensingOrClock(const TMonitorRow &row)
{
    return row.Bytes.size() == 1 && (row.Bytes[0] == 0xFE || row.Bytes[0] == 0xF8);
}
} // namespace

TMonitorModel::TMonitorModel(QObject *parent, int cap, int block)
    : QAbstractTableModel(parent)
    , Cap(cap)
    , Block(std::max(1, std::min(block, cap)))
{ }

void TMonitorModel::SetCap(int cap)
{
    Cap = std::max(1, cap);
    Block = std::max(1, std::min(Block, Cap));
    const int excess = static_cast<int>(Rows.size()) - Cap;
    if (excess <= 0)
        return;
    beginRemoveRows({}, 0, excess - 1);
    Rows.erase(Rows.begin(), Rows.begin() + excess);
    endRemoveRows();
}

qint64 TMonitorModel::MsAt(std::chrono::steady_clock::time_point at) const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(at - Start).count();
}

void TMonitorModel::Append(bool sent, const std::string &device,
                           std::span<const std::uint8_t> bytes)
{
    Append(MsAt(std::chrono::steady_clock::now()), sent, device, bytes);
}

void TMonitorModel::Append(qint64 ms, bool sent, std::string_view device,
                           std::span<const std::uint8_t> bytes)
{
    TMonitorRow row {ms, sent, 0, {bytes.begin(), bytes.end()}};
    row.MfxType = MfxType;
    // Only a data set of the instrument's model that holds the type changes it: anything else
    // leaves the decoder at its header.
    if (const std::optional<int> type = sysex::pattern::DecodeMessage(bytes).Mfx[0];
        type && *type >= 0 && *type < sysex::mfx::TypeCount)
        MfxType = static_cast<std::int8_t>(*type);
    Insert(std::move(row), device);
}

void TMonitorModel::AppendNotSent(qint64 ms, std::string_view device, std::size_t count)
{
    Insert({ms, true, 0, {}, static_cast<std::uint32_t>(count)}, device);
}

void TMonitorModel::Insert(TMonitorRow entry, std::string_view device)
{
    if (static_cast<int>(Rows.size()) >= Cap) {
        beginRemoveRows({}, 0, Block - 1);
        Rows.erase(Rows.begin(), Rows.begin() + Block);
        endRemoveRows();
    }
    // A program has a handful of devices: the search is short, and names are kept once.
    std::size_t index = 0;
    while (index < DeviceKeys.size() && DeviceKeys[index] != device)
        ++index;
    if (index == DeviceKeys.size()) {
        DeviceKeys.emplace_back(device);
        DeviceNames.push_back(
            QString::fromUtf8(device.data(), static_cast<qsizetype>(device.size())));
    }
    entry.Device = static_cast<std::uint16_t>(index);
    // Rows come nearly in time order: a message heard late stands a few rows back at most.
    const auto at = std::upper_bound(Rows.begin(), Rows.end(), entry.Ms,
                                     [](qint64 ms, const TMonitorRow &row) { return ms < row.Ms; });
    const int row = static_cast<int>(at - Rows.begin());
    beginInsertRows({}, row, row);
    Rows.insert(at, std::move(entry));
    endInsertRows();
}

void TMonitorModel::Clear()
{
    beginResetModel();
    Rows.clear();
    endResetModel();
}

int TMonitorModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(Rows.size());
}

int TMonitorModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString TMonitorModel::Text(int row, int column) const
{
    const TMonitorRow &entry = Row(row);
    switch (column) {
    case TimeColumn:
        return QString::number(entry.Ms);
    case DirectionColumn:
        return entry.Sent ? QStringLiteral("Out") : QStringLiteral("In");
    case DeviceColumn:
        return DeviceNames[entry.Device];
    case BytesColumn:
        return Hex(entry.Bytes);
    case MeaningColumn:
        if (entry.NotSent == 1)
            return QStringLiteral("1 message not sent");
        if (entry.NotSent > 1)
            return QStringLiteral("%1 messages not sent").arg(entry.NotSent);
        // What the receiving side dropped as no whole message, shown for what it is.
        if (!entry.Sent && midi::IsCutShort(entry.Bytes))
            return QStringLiteral("cut short");
        {
            sysex::TMeaningContext context;
            if (entry.MfxType >= 0)
                context.MfxType = entry.MfxType;
            return QString::fromStdString(sysex::MessageMeaning(entry.Bytes, context));
        }
    }
    return {};
}

QVariant TMonitorModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole)
        return Text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && index.column() == TimeColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant TMonitorModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const titles[] = {"Time (ms)", "Dir", "Device", "Bytes", "Meaning"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section])
                                                 : QVariant();
}

QString TMonitorModel::RowsText(const std::vector<int> &rows) const
{
    QString text;
    for (int row : rows) {
        for (int column = 0; column < ColumnCount; ++column) {
            if (column > 0)
                text += QLatin1Char('\t');
            text += Text(row, column);
        }
        text += QLatin1Char('\n');
    }
    return text;
}

QByteArray TMonitorModel::RowsSyx(const std::vector<int> &rows) const
{
    QByteArray bytes;
    for (int row : rows) {
        std::span<const std::uint8_t> message = Row(row).Bytes;
        if (message.size() > 1 && message[0] == 0x00 && message[1] == 0xF0)
            message = message.subspan(1);
        if (message.size() < 2 || message.front() != 0xF0 || message.back() != 0xF7)
            continue;
        bytes.append(reinterpret_cast<const char *>(message.data()),
                     static_cast<qsizetype>(message.size()));
    }
    return bytes;
}

TMonitorFilter::TMonitorFilter(QObject *parent)
    : QSortFilterProxyModel(parent)
{ }

void TMonitorFilter::SetHideSensing(bool hide)
{
    HideSensing = hide;
    invalidateFilter();
}

void TMonitorFilter::SetDirection(TDirection direction)
{
    Direction = direction;
    invalidateFilter();
}

void TMonitorFilter::SetText(const QString &text)
{
    Text = text;
    invalidateFilter();
}

bool TMonitorFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const auto *model = static_cast<const TMonitorModel *>(sourceModel());
    const TMonitorRow &row = model->Row(sourceRow);
    if (HideSensing && IsSensingOrClock(row))
        return false;
    if ((Direction == TDirection::SentOnly && !row.Sent)
        || (Direction == TDirection::ReceivedOnly && row.Sent))
        return false;
    if (Text.isEmpty())
        return true;
    for (int column = 0; column < TMonitorModel::ColumnCount; ++column)
        if (model->Text(sourceRow, column).contains(Text, Qt::CaseInsensitive))
            return true;
    return false;
}

QString SaveFile(const QString &path, const QByteArray &contents)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("\"%1\" cannot be written: %2").arg(path, file.errorString());
    if (file.write(contents) != contents.size() || !file.commit())
        return QStringLiteral("\"%1\" cannot be written: %2").arg(path, file.errorString());
    return {};
}

} // namespace monitor
