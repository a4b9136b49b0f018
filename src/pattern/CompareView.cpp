#include "CompareView.h"

#include "sysex/MessageMeaning.h"
#include "sysex/MfxParams.h"
#include "sysex/RolandMessage.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

namespace areas = sysex::areas;
namespace mfx = sysex::mfx;

namespace pattern {

namespace {

// The MFX type lies in the pattern common block and in the pattern effects; the effects' copy
// is the one a dump keeps last.
constexpr areas::TAddress MfxTypeAddresses[] {{0x30, 0x00, 0x20, 0x02}, {0x01, 0x00, 0x00, 0x0D}};

std::optional<int> MfxTypeOf(const areas::TImage &image)
{
    for (const areas::TAddress &address : MfxTypeAddresses)
        if (const auto found = image.find(areas::Linear(address)); found != image.end())
            return found->second;
    return std::nullopt;
}

// What the monitor says of the byte written alone: "Part 4 Tone 2 Level = 100".
struct TMeaning
{
    QString Name;
    QString Value;
};
TMeaning MeaningOf(std::uint32_t address, std::optional<std::uint8_t> byte,
                   std::optional<int> mfxType)
{
    if (!byte)
        return {{}, QStringLiteral("(none)")};
    const std::uint8_t data[] {*byte};
    sysex::TMeaningContext context {mfxType};
    const std::string text = sysex::MessageMeaning(
        sysex::DataSetMessage(0x10, areas::FromLinear(address), data), context);
    // An MFX parameter's text is its name and its shown value, with no sign between.
    const mfx::TMfxParam *param = nullptr;
    for (const areas::TAddress &typeAddress : MfxTypeAddresses) {
        const std::uint32_t first = areas::Linear(typeAddress);
        if (address >= first && address < first + std::uint32_t(mfx::ValueCount)) {
            const int v = int(address - first);
            param = v == 0 ? &mfx::TypeParam : mfx::ParamOf(mfxType.value_or(-1), v);
        }
    }
    const std::string mfxName = param ? "MFX " + std::string(param->Name) + " " : std::string();
    if (param && text.starts_with(mfxName))
        return {QString::fromStdString(mfxName.substr(0, mfxName.size() - 1)),
                QString::fromStdString(text.substr(mfxName.size()))};
    const auto split = text.rfind(" = ");
    if (split == std::string::npos)
        return {QString::fromStdString(text), QString::number(*byte)};
    return {QString::fromStdString(text.substr(0, split)),
            QString::fromStdString(text.substr(split + 3))};
}

QString Hex(std::uint32_t linear)
{
    const areas::TAddress a = areas::FromLinear(linear);
    return QStringLiteral("%1 %2 %3 %4")
        .arg(a[0], 2, 16, QLatin1Char('0'))
        .arg(a[1], 2, 16, QLatin1Char('0'))
        .arg(a[2], 2, 16, QLatin1Char('0'))
        .arg(a[3], 2, 16, QLatin1Char('0'))
        .toUpper();
}

} // namespace

void TDifferenceModel::SetImages(const areas::TImage &first, const areas::TImage &second,
                                 const QString &firstName, const QString &secondName)
{
    beginResetModel();
    FirstName = firstName;
    SecondName = secondName;
    Rows.clear();
    const std::optional<int> firstMfx = MfxTypeOf(first);
    const std::optional<int> secondMfx = MfxTypeOf(second);
    for (const areas::TByteDifference &difference : areas::Differences(first, second)) {
        TMeaning a = MeaningOf(difference.Address, difference.First, firstMfx);
        TMeaning b = MeaningOf(difference.Address, difference.Second, secondMfx);
        // Two bytes out of their range may show alike: the row must still tell them apart.
        if (a.Value == b.Value && difference.First && difference.Second) {
            a.Value += QStringLiteral(" (byte %1)").arg(*difference.First);
            b.Value += QStringLiteral(" (byte %1)").arg(*difference.Second);
        }
        const areas::TArea *area = areas::AreaAt(areas::FromLinear(difference.Address));
        // Each file names its own parameter; where the names differ (another MFX type) both go.
        QString name = a.Name.isEmpty() ? b.Name : a.Name;
        if (!a.Name.isEmpty() && !b.Name.isEmpty() && a.Name != b.Name)
            name = a.Name + QStringLiteral(" / ") + b.Name;
        Rows.push_back({Hex(difference.Address),
                        area ? QString::fromStdString(areas::AreaName(*area)) : QString(), name,
                        a.Value, b.Value});
    }
    endResetModel();
}

int TDifferenceModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(Rows.size());
}

int TDifferenceModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TDifferenceModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= int(Rows.size()))
        return {};
    const TRow &row = Rows[std::size_t(index.row())];
    switch (index.column()) {
    case Address:
        return row.Address;
    case Area:
        return row.Area;
    case Parameter:
        return row.Parameter;
    case First:
        return row.First;
    case Second:
        return row.Second;
    default:
        return {};
    }
}

QVariant TDifferenceModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    switch (section) {
    case Address:
        return QStringLiteral("Address");
    case Area:
        return QStringLiteral("Area");
    case Parameter:
        return QStringLiteral("Parameter");
    case First:
        return FirstName;
    case Second:
        return SecondName;
    default:
        return {};
    }
}

TCompareView::TCompareView(QWidget &parent)
    : QDialog(&parent)
    , Differences(this)
{
    setObjectName(QStringLiteral("FormCompare"));
    setWindowTitle(QStringLiteral("Compare Files"));
    auto *layout = new QVBoxLayout(this);
    Summary = new QLabel(this);
    Summary->setObjectName(QStringLiteral("LabelSummary"));
    Table = new QTableView(this);
    Table->setObjectName(QStringLiteral("TableDifferences"));
    Table->setModel(&Differences);
    Table->verticalHeader()->hide();
    Table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(Summary);
    layout->addWidget(Table);
    resize(720, 420);
}

void TCompareView::Show(const areas::TImage &first, const areas::TImage &second,
                        const QString &firstName, const QString &secondName)
{
    Differences.SetImages(first, second, firstName, secondName);
    Summary->setText(
        Differences.rowCount() == 0
            ? QStringLiteral("%1 and %2 hold the same bytes.").arg(firstName, secondName)
            : QStringLiteral("%1 addresses differ between %2 and %3.")
                  .arg(Differences.rowCount())
                  .arg(firstName, secondName));
    Table->resizeColumnsToContents();
}

} // namespace pattern
