#include "DumpReceiver.h"

#include "midi/MidiDevices.h"
#include "session/RequestProcedure.h"
#include "settings/PatchFileStorage.h"
#include "sysex/PatternAreas.h"
#include "sysex/RolandMessage.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace areas = sysex::areas;

namespace pattern {

namespace {
// The groups in the dump's order, as the dialog lists them.
QString GroupsText(const std::set<std::string> &come)
{
    QStringList names;
    std::set<std::string> listed;
    for (const areas::TArea &area : areas::Areas()) {
        const std::string name = areas::GroupName(area);
        if (come.contains(name) && listed.insert(name).second)
            names << QString::fromStdString(name);
    }
    return names.isEmpty() ? QStringLiteral("AreasLabel: nothing yet")
                           : QStringLiteral("AreasLabel: %1").arg(names.join(QStringLiteral(", ")));
}
} // namespace

TDumpReceiver::TDumpReceiver(QWidget &parent)
    : QDialog(&parent)
{
    setObjectName(QStringLiteral("FormReceiveDump"));
    setWindowTitle(QStringLiteral("Receive Bulk Dump"));
    auto *layout = new QVBoxLayout(this);
    auto *hint = new QLabel(QStringLiteral("Start the bulk dump on the instrument now."), this);
    hint->setObjectName(QStringLiteral("LabelHint"));
    CountLabel = new QLabel(this);
    CountLabel->setObjectName(QStringLiteral("LabelReceived"));
    AreasLabel = new QLabel(GroupsText({}), this);
    AreasLabel->setObjectName(QStringLiteral("LabelAreas"));
    AreasLabel->setWordWrap(true);
    BadList = new QListWidget(this);
    BadList->setObjectName(QStringLiteral("ListBadChecksums"));
    BadList->setMaximumHeight(80);
    StopButton = new QPushButton(QStringLiteral("Stop"), this);
    StopButton->setObjectName(QStringLiteral("ButtonStop"));
    SaveButton = new QPushButton(QStringLiteral("Save..."), this);
    SaveButton->setObjectName(QStringLiteral("ButtonSave"));
    SaveButton->setEnabled(false);
    for (QWidget *widget : std::initializer_list<QWidget *> {hint, CountLabel, AreasLabel, BadList,
                                                             StopButton, SaveButton})
        layout->addWidget(widget);
    ShowCount();
    Quiet.setSingleShot(true);
    connect(&Quiet, &QTimer::timeout, this, &TDumpReceiver::End);
    connect(StopButton, &QPushButton::clicked, this, &TDumpReceiver::End);
    connect(SaveButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(
            this, QStringLiteral("Save Bulk Dump"), QStringLiteral("Dump.syx"),
            QStringLiteral("System Exclusive (*.syx)"));
        if (path.isEmpty())
            return;
        const QString error = Save(path);
        AreasLabel->setText(error.isEmpty()
                                ? QStringLiteral("Saved to %1").arg(QDir::toNativeSeparators(path))
                                : error);
    });
    resize(420, 260);
}

void TDumpReceiver::Listen()
{
    const session::TSysExAttachment attached(
        midi::MidiIn(), [this](std::int32_t, std::span<const std::uint8_t> data) { Take(data); });
    const session::TJobWait waiting;
    exec();
}

void TDumpReceiver::Take(std::span<const std::uint8_t> message)
{
    if (Ended)
        return;
    const auto read = sysex::ReadRolandMessage(message);
    if (!read || read->Header.Model != sysex::TModel::Instrument || !read->IsDataSet()
        || !read->Address())
        return;
    Messages.emplace_back(message.begin(), message.end());
    ++Count;
    Bytes += message.size();
    const areas::TAddress address = *read->Address();
    const areas::TArea *area = areas::AreaAt(address);
    if (!read->ChecksumHolds()) {
        Bad.push_back("Data set " + std::to_string(Count) + " at "
                      + QStringLiteral("%1 %2 %3 %4")
                            .arg(address[0], 2, 16, QLatin1Char('0'))
                            .arg(address[1], 2, 16, QLatin1Char('0'))
                            .arg(address[2], 2, 16, QLatin1Char('0'))
                            .arg(address[3], 2, 16, QLatin1Char('0'))
                            .toUpper()
                            .toStdString()
                      + (area ? " (" + areas::AreaName(*area) + ")" : std::string())
                      + ": bad checksum");
        BadList->addItem(QString::fromStdString(Bad.back()));
    } else if (area) {
        Groups.insert(areas::GroupName(*area));
        AreasLabel->setText(GroupsText(Groups));
    }
    ShowCount();
    Quiet.start(QuietMs);
}

void TDumpReceiver::ShowCount()
{
    CountLabel->setText(
        QStringLiteral("%1 data sets, %2 bytes%3")
            .arg(Count)
            .arg(Bytes)
            .arg(Ended ? QStringLiteral(": over") : QStringLiteral(", listening...")));
}

void TDumpReceiver::End()
{
    Quiet.stop();
    Ended = true;
    StopButton->setEnabled(false);
    SaveButton->setEnabled(!Messages.empty());
    ShowCount();
}

QString TDumpReceiver::Save(const QString &path)
{
    const auto error = settings::SavePatchFile(path, Messages);
    return error ? *error : QString();
}

} // namespace pattern
