#include "FormMonitor.h"

#include "midi/MidiDevices.h"
#include "session/ErrorPolicy.h"
#include "session/TrafficTap.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace monitor {

namespace {
// Draws a cell's text in one call: the style's item drawing lays out each cell's text as a
// document, which made a repaint of the visible rows cost more than the messages it shows.
class TPlainDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        if (selected)
            painter->fillRect(option.rect, option.palette.highlight());
        painter->setPen(selected ? option.palette.highlightedText().color()
                                 : option.palette.text().color());
        const int alignment
            = index.column() == TMonitorModel::TimeColumn ? Qt::AlignRight : Qt::AlignLeft;
        painter->drawText(option.rect.adjusted(3, 0, -3, 0),
                          alignment | Qt::AlignVCenter | Qt::TextSingleLine,
                          index.data().toString());
    }
};
} // namespace

TFormMonitor::TFormMonitor(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , MonitorModel(new TMonitorModel(this, TMonitorModel::UnwatchedCap))
    , MonitorFilter(new TMonitorFilter(this))
    , Table(new QTableView(this))
    , HideSensing(new QCheckBox(QStringLiteral("Hide Active Sensing and clock"), this))
    , Direction(new QComboBox(this))
    , TextFilter(new QLineEdit(this))
{
    setObjectName(QStringLiteral("FormMonitor"));
    setWindowTitle(QStringLiteral("MIDI Monitor"));
    // The program ends with its main window, even while the monitor is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(820, 480);
    MonitorFilter->setSourceModel(MonitorModel);

    Table->setObjectName(QStringLiteral("TableMessages"));
    Table->setModel(MonitorFilter);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Table->verticalHeader()->hide();
    // Fixed row heights and column widths: the view never measures the rows' contents.
    Table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    Table->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {70, 36, 160, 300};
    for (int column = 0; column < 4; ++column)
        Table->setColumnWidth(column, widths[column]);
    Table->setWordWrap(false);
    Table->setTextElideMode(Qt::ElideNone);
    Table->setItemDelegate(new TPlainDelegate(Table));
    // Numbers, hex and plain words need no text shaping, which would cost more than the message.
    QFont tableFont = Table->font();
    tableFont.setStyleStrategy(QFont::PreferNoShaping);
    Table->setFont(tableFont);

    HideSensing->setObjectName(QStringLiteral("CBHideSensing"));
    HideSensing->setChecked(true);
    Direction->setObjectName(QStringLiteral("LBDirection"));
    Direction->addItems({QStringLiteral("Sent and received"), QStringLiteral("Sent only"),
                         QStringLiteral("Received only")});
    TextFilter->setObjectName(QStringLiteral("EditFilter"));
    TextFilter->setPlaceholderText(QStringLiteral("Filter"));
    TextFilter->setClearButtonEnabled(true);
    auto *copy = new QPushButton(QStringLiteral("Copy"), this);
    copy->setObjectName(QStringLiteral("CopyBtn"));
    auto *saveSelected = new QPushButton(QStringLiteral("Save Selected..."), this);
    saveSelected->setObjectName(QStringLiteral("SaveSelectedBtn"));
    auto *saveAll = new QPushButton(QStringLiteral("Save All..."), this);
    saveAll->setObjectName(QStringLiteral("SaveAllBtn"));
    auto *clear = new QPushButton(QStringLiteral("Clear"), this);
    clear->setObjectName(QStringLiteral("ClearBtn"));

    auto *bar = new QHBoxLayout;
    bar->addWidget(HideSensing);
    bar->addWidget(Direction);
    bar->addWidget(TextFilter, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *button : {copy, saveSelected, saveAll, clear})
        buttons->addWidget(button);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(Table, 1);
    layout->addLayout(buttons);

    connect(HideSensing, &QCheckBox::toggled, this,
            [this](bool hide) { MonitorFilter->SetHideSensing(hide); });
    connect(Direction, &QComboBox::currentIndexChanged, this, [this](int index) {
        MonitorFilter->SetDirection(static_cast<TMonitorFilter::TDirection>(std::max(0, index)));
    });
    connect(TextFilter, &QLineEdit::textChanged, this,
            [this](const QString &text) { MonitorFilter->SetText(text); });
    connect(copy, &QPushButton::clicked, this, [this] { CopySelection(); });
    connect(saveSelected, &QPushButton::clicked, this, [this] { SaveRows(false); });
    connect(saveAll, &QPushButton::clicked, this, [this] { SaveRows(true); });
    connect(clear, &QPushButton::clicked, this, [this] { MonitorModel->Clear(); });
    auto *copyKey = new QShortcut(QKeySequence::Copy, Table);
    copyKey->setContext(Qt::WidgetShortcut);
    connect(copyKey, &QShortcut::activated, this, [this] { CopySelection(); });

    // Scrolled to the end only while the user has not scrolled away from it.
    QScrollBar *scroll = Table->verticalScrollBar();
    connect(scroll, &QScrollBar::valueChanged, this,
            [this, scroll](int value) { Following = value >= scroll->maximum(); });
    // Scrolled once for a burst, not once a message: the scroll lays out the view.
    ScrollLater.setSingleShot(true);
    ScrollLater.setInterval(0);
    connect(&ScrollLater, &QTimer::timeout, this, [this] { Table->scrollToBottom(); });
    connect(MonitorFilter, &QAbstractItemModel::rowsInserted, this, [this] {
        if (Following && isVisible() && !ScrollLater.isActive())
            ScrollLater.start();
    });

    session::SetTrafficSink([this](const session::TTraffic &traffic) {
        const qint64 ms = MonitorModel->MsAt(traffic.At);
        if (traffic.NotSent != 0)
            MonitorModel->AppendNotSent(ms, traffic.Device, traffic.NotSent);
        else
            MonitorModel->Append(ms, traffic.Sent, traffic.Device, traffic.Bytes);
    });
    midi::SetReceiveWatch(true);
}

TFormMonitor::~TFormMonitor()
{
    midi::SetReceiveWatch(false);
    session::SetTrafficSink(nullptr);
}

void TFormMonitor::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (MonitorModel->CapOfRows() < TMonitorModel::DefaultCap)
        MonitorModel->SetCap(TMonitorModel::DefaultCap);
}

std::vector<int> TFormMonitor::ChosenRows(bool all) const
{
    std::vector<int> rows;
    if (all) {
        for (int row = 0; row < MonitorFilter->rowCount(); ++row)
            rows.push_back(MonitorFilter->mapToSource(MonitorFilter->index(row, 0)).row());
        return rows;
    }
    for (const QModelIndex &index : Table->selectionModel()->selectedRows())
        rows.push_back(MonitorFilter->mapToSource(index).row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TFormMonitor::CopySelection()
{
    const std::vector<int> rows = ChosenRows(false);
    if (!rows.empty())
        QApplication::clipboard()->setText(MonitorModel->RowsText(rows));
}

void TFormMonitor::SaveRows(bool all)
{
    const std::vector<int> rows = ChosenRows(all);
    QString filter;
    const QString path = QFileDialog::getSaveFileName(
        this, all ? QStringLiteral("Save All Messages") : QStringLiteral("Save Selected Messages"),
        QString(), QStringLiteral("System Exclusive (*.syx);;Text (*.txt)"), &filter);
    if (path.isEmpty())
        return;
    const bool syx = path.endsWith(QStringLiteral(".syx"), Qt::CaseInsensitive);
    const QByteArray contents
        = syx ? MonitorModel->RowsSyx(rows) : MonitorModel->RowsText(rows).toUtf8();
    const QString error = SaveFile(path, contents);
    if (!error.isEmpty())
        session::ReportError(error.toStdString());
}

} // namespace monitor
