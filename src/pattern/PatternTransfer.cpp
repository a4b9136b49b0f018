#include "PatternTransfer.h"

#include "CompareView.h"
#include "DumpReceiver.h"
#include "midi/MidiDevices.h"
#include "midi/MidiError.h"
#include "session/ErrorPolicy.h"
#include "session/RequestProcedure.h"
#include "session/WaitPumping.h"
#include "settings/PatchFileStorage.h"
#include "settings/SettingsFile.h"
#include "sysex/RolandMessage.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>

#include <algorithm>

namespace areas = sysex::areas;

namespace pattern {

namespace {

// The blocks of a pattern answer at once; an area that has not come within this time is
// missing. A patch's five blocks are longer on the cable.
constexpr int AreaWaitMs = 300;
constexpr int PatchWaitMs = 500;
// A page of notes not answered within this time ends the notes.
constexpr int PageWaitMs = 300;
// The instrument's gap after a data set, before the read-back's first request.
constexpr int VerifyDelayMs = 20;
// A byte's time on a DIN cable.
constexpr int CableByteUs = 320;
// The file of a whole pattern is about 15 KB; a file this large is none.
constexpr qint64 MaxDumpBytes = 8 << 20;
// Messages handed to the paced queue ahead of the one leaving: enough that the queue never
// waits for us, few enough that a Cancel stops the sending at once.
constexpr std::size_t SendAhead = 2;

QString Hex(const areas::TAddress &address)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(address[0], 2, 16, QLatin1Char('0'))
        .arg(address[1], 2, 16, QLatin1Char('0'))
        .arg(address[2], 2, 16, QLatin1Char('0'))
        .arg(address[3], 2, 16, QLatin1Char('0'))
        .toUpper();
}

QString Name(const areas::TArea &area)
{
    return QString::fromStdString(areas::AreaName(area));
}

void Prepare(QProgressDialog &progress, const QString &title, const QString &name)
{
    progress.setObjectName(name);
    progress.setWindowTitle(title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);
}

std::vector<midi::TByteStream> BytesOf(std::span<const areas::TDumpMessage> messages)
{
    std::vector<midi::TByteStream> bytes;
    for (const areas::TDumpMessage &message : messages)
        bytes.push_back(message.Bytes);
    return bytes;
}

} // namespace

TDumpLoad LoadDump(const QString &path)
{
    TDumpLoad load;
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        load.Error = QStringLiteral("The file \"%1\" cannot be read.").arg(shown);
        return load;
    }
    if (file.size() > MaxDumpBytes) {
        load.Error = QStringLiteral("The file \"%1\" is too large for a pattern.").arg(shown);
        return load;
    }
    const QByteArray content = file.readAll();
    const areas::TDumpFile read = areas::ReadDump(std::span(
        reinterpret_cast<const std::uint8_t *>(content.constData()), std::size_t(content.size())));
    if (!read.Error.empty())
        load.Error = QStringLiteral("The file \"%1\" holds %2.")
                         .arg(shown, QString::fromStdString(read.Error));
    else if (read.DataSets.empty())
        load.Error = QStringLiteral("The file \"%1\" holds no data set of the MC-307.").arg(shown);
    else
        load.DataSets = read.DataSets;
    return load;
}

TPatternTransfer::TPatternTransfer(QWidget &window, std::function<TPatternDevices()> devices,
                                   midi::IMidiOuts &outputs)
    : QObject(&window)
    , Window(window)
    , Devices(std::move(devices))
    , Outputs(outputs)
{
    setObjectName(QStringLiteral("PatternTransfer"));
}

void TPatternTransfer::AddTo(QMenu &file)
{
    const auto item = [this, &file](const QString &caption, const QString &name, auto handler) {
        auto *action = new QAction(caption, &file);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this,
                [handler] { session::RunBurstHandler(handler); });
        return action;
    };
    QAction *backUp
        = item(QStringLiteral("Back Up Pattern..."), QStringLiteral("ActionBackUp"), [this] {
              const QString path = QFileDialog::getSaveFileName(
                  &Window, QStringLiteral("Back Up Pattern"), QStringLiteral("Pattern.syx"),
                  QStringLiteral("System Exclusive (*.syx)"));
              if (!path.isEmpty())
                  BackUp(path);
          });
    QAction *restore
        = item(QStringLiteral("Restore Pattern..."), QStringLiteral("ActionRestore"), [this] {
              const QString path = QFileDialog::getOpenFileName(
                  &Window, QStringLiteral("Restore Pattern"), QString(),
                  QStringLiteral("System Exclusive (*.syx)"));
              if (!path.isEmpty())
                  Restore(path);
          });
    QAction *receive
        = item(QStringLiteral("Receive Bulk Dump..."), QStringLiteral("ActionReceiveDump"), [this] {
              session::TRequestProcedure::Instance().Run(
                  this, QStringLiteral("Receiving a bulk dump..."), [this] {
                      TDumpReceiver receiver(Window);
                      receiver.Listen();
                  });
          });
    QAction *compare
        = item(QStringLiteral("Compare Files..."), QStringLiteral("ActionCompare"), [this] {
              const QString first = QFileDialog::getOpenFileName(
                  &Window, QStringLiteral("Compare: the first file"), QString(),
                  QStringLiteral("System Exclusive (*.syx)"));
              if (first.isEmpty())
                  return;
              const QString second = QFileDialog::getOpenFileName(
                  &Window, QStringLiteral("Compare: the second file"), QString(),
                  QStringLiteral("System Exclusive (*.syx)"));
              if (!second.isEmpty())
                  Compare(first, second);
          });
    // After the patch files' items and their separator, in a group of its own.
    const QList<QAction *> items = file.actions();
    const auto separator = std::find_if(items.begin(), items.end(),
                                        [](QAction *action) { return action->isSeparator(); });
    QAction *first = items.value(separator == items.end() ? 0 : separator - items.begin() + 1);
    for (QAction *action : {backUp, restore, receive, compare})
        file.insertAction(first, action);
    file.insertSeparator(first);
    connect(&session::TRequestProcedure::Instance(), &session::TRequestProcedure::RunningChanged,
            this, [backUp, restore, receive](bool running) {
                for (QAction *action : {backUp, restore, receive})
                    action->setEnabled(!running);
            });
}

void TPatternTransfer::BackUp(const QString &path)
{
    session::TRequestProcedure::Instance().Run(
        this, QStringLiteral("Backing up the pattern..."), [this, path] {
            QProgressDialog progress(&Window);
            Prepare(progress, QStringLiteral("Back Up Pattern"), QStringLiteral("ProgressBackUp"));
            ShowReport(BackUpInto(path, progress), false);
        });
}

QString TPatternTransfer::BackUpInto(const QString &path, QProgressDialog &progress)
{
    const TPatternDevices devices = Devices();
    midi::IMidiOut &out = Outputs.Device(devices.MidiOutIndex);
    DeviceByte = static_cast<std::uint8_t>(sysex::DeviceByte(devices.DeviceId));
    const QStringList missing = ReadPattern(out, progress);
    const bool cancelled = progress.wasCanceled();
    const std::vector<areas::TDumpMessage> backup = Backup();
    if (const auto error = settings::SavePatchFile(path, BytesOf(backup)))
        throw midi::EMidiError(error->toStdString());
    std::size_t bytes = 0;
    for (const areas::TDumpMessage &message : backup)
        bytes += message.Bytes.size();
    QString report = QStringLiteral("Backed up to %1: %2 data sets, %3 bytes.")
                         .arg(QDir::toNativeSeparators(path))
                         .arg(backup.size())
                         .arg(bytes);
    if (cancelled)
        report += QStringLiteral("\nCancelled: the file holds only what came before.");
    for (const QString &line : missing)
        report += QLatin1Char('\n') + line;
    return report;
}

void TPatternTransfer::Take(std::span<const std::uint8_t> message)
{
    Answer.Note(message);
    const auto read = sysex::ReadRolandMessage(message);
    if (!read || read->Header.Model != sysex::TModel::Instrument || !read->IsDataSet()
        || !read->ChecksumHolds() || read->Header.Device != DeviceByte || !read->Address()
        || read->AfterAddress().empty())
        return;
    const areas::TAddress address = *read->Address();
    const areas::TArea *area = areas::AreaAt(address);
    if (!area)
        return;
    Received[areas::Linear(address)] = midi::TByteStream(message.begin(), message.end());
    // A page of notes that ends short of its page is the last one.
    const std::uint32_t end = areas::Linear(address) + std::uint32_t(read->AfterAddress().size());
    if (ReadingNotes && area->Kind == areas::TKind::NotesPage
        && end < areas::Linear(area->Address) + areas::NotesPageSize) {
        ShortPageEnd = end;
        Answer.Finish();
    }
}

void TPatternTransfer::Ask(midi::IMidiOut &out, std::span<const TRead> reads, int boundMs)
{
    std::vector<TAnswerWait::TBlock> blocks;
    for (const TRead &read : reads)
        blocks.push_back({read.Address, read.Size});
    Answer.Expect(blocks, DeviceByte);
    // The answers take the cable after the last request has left: the bound waits for them too.
    int answerBytes = 0;
    for (const TRead &read : reads) {
        out.SendSysEx(sysex::RequestMessage(DeviceByte, read.Address, std::uint32_t(read.Size)));
        answerBytes += read.Size + int(sysex::SmallestDataSet) - 1;
    }
    Answer.Run(out, boundMs + answerBytes * CableByteUs / 1000);
}

QStringList TPatternTransfer::ReadPattern(midi::IMidiOut &out, QProgressDialog &progress)
{
    Received.clear();
    const session::TSysExAttachment attached(
        midi::MidiIn(), [this](std::int32_t, std::span<const std::uint8_t> data) { Take(data); });
    // The groups of areas in the dump's order, each asked for at once; the notes apart.
    std::array<std::vector<TRead>, areas::GroupCount> groups;
    std::vector<const areas::TArea *> asked;
    for (const areas::TArea &area : areas::Areas())
        if (area.Read && area.Group != areas::TGroup::Notes) {
            groups[static_cast<std::size_t>(area.Group)].push_back({area.Address, area.Size});
            asked.push_back(&area);
        }
    progress.setMaximum(int(asked.size()) + 1);
    int done = 0;
    const auto step = [&](const QString &what, int count) {
        done += count;
        progress.setLabelText(QStringLiteral("Backing up: %1 (%2 of %3 areas)")
                                  .arg(what)
                                  .arg(done)
                                  .arg(progress.maximum()));
        progress.setValue(done);
        emit Progressed(done);
    };
    QStringList lines;
    for (std::size_t g = 0; g < groups.size() && !progress.wasCanceled(); ++g) {
        if (g == static_cast<std::size_t>(areas::TGroup::Notes)) {
            step(QStringLiteral("the notes"), 0);
            if (ReadNotes(out, progress) == 0 && !progress.wasCanceled())
                lines << QStringLiteral("The pattern's notes did not answer: use the "
                                        "instrument's own bulk dump to keep them.");
            step(QStringLiteral("the notes"), 1);
            continue;
        }
        // A patch by patch, so that the progress moves while the longest group comes.
        const std::vector<TRead> &reads = groups[g];
        const bool patches = g == static_cast<std::size_t>(areas::TGroup::Patches);
        const std::size_t chunk = patches ? 5 : reads.size();
        for (std::size_t at = 0; at < reads.size() && !progress.wasCanceled(); at += chunk) {
            const auto part = std::span(reads).subspan(at, std::min(chunk, reads.size() - at));
            step(Name(*areas::AreaAt(part.front().Address)), 0);
            Ask(out, part, patches ? PatchWaitMs : AreaWaitMs);
            step(Name(*areas::AreaAt(part.front().Address)), int(part.size()));
        }
    }
    // Each area asked for that did not come whole.
    QStringList silent;
    const areas::TImage image = areas::ImageOf(Backup());
    for (const areas::TArea *area : asked) {
        if (progress.wasCanceled())
            break;
        const std::uint32_t start = areas::Linear(area->Address);
        for (int k = 0; k < area->Size; ++k)
            if (!image.contains(start + std::uint32_t(k))) {
                silent << Name(*area);
                break;
            }
    }
    if (!silent.isEmpty())
        lines << QStringLiteral("Did not answer, not in the file: %1.")
                     .arg(silent.join(QStringLiteral(", ")));
    return lines;
}

int TPatternTransfer::ReadNotes(midi::IMidiOut &out, QProgressDialog &progress)
{
    ShortPageEnd.reset();
    ReadingNotes = true;
    const auto done = qScopeGuard([this] { ReadingNotes = false; });
    int pages = 0;
    for (const areas::TArea &area : areas::Areas()) {
        if (area.Kind != areas::TKind::NotesPage || progress.wasCanceled())
            continue;
        const std::array<TRead, 1> page {{{area.Address, areas::NotesPageSize}}};
        progress.setLabelText(QStringLiteral("Backing up: the notes, page %1").arg(area.Index + 1));
        Ask(out, page, PageWaitMs);
        if (!Answer.Complete())
            break;
        ++pages;
        if (ShortPageEnd)
            break;
    }
    return pages;
}

std::vector<areas::TDumpMessage> TPatternTransfer::Backup() const
{
    midi::TByteStream all;
    for (const auto &[address, message] : Received)
        all.insert(all.end(), message.begin(), message.end());
    return areas::InDumpOrder(areas::ReadDump(all).DataSets);
}

void TPatternTransfer::Restore(const QString &path)
{
    session::TRequestProcedure::Instance().Run(
        this, QStringLiteral("Restoring the pattern..."), [this, path] {
            const TDumpLoad load = LoadDump(path);
            if (!load.Error.isEmpty())
                throw midi::EMidiError(load.Error.toStdString());
            const auto bad = std::find_if(load.DataSets.begin(), load.DataSets.end(),
                                          [](const auto &m) { return !m.ChecksumHolds; });
            if (bad != load.DataSets.end())
                throw midi::EMidiError(QStringLiteral("The file \"%1\" has a bad checksum in "
                                                      "the data set at offset %2: nothing was "
                                                      "sent.")
                                           .arg(QDir::toNativeSeparators(path))
                                           .arg(bad->Offset)
                                           .toStdString());
            QProgressDialog progress(&Window);
            Prepare(progress, QStringLiteral("Restore Pattern"), QStringLiteral("ProgressRestore"));
            // The pattern as it was, so that this restore can be taken back.
            LastUndoFile = QDir(settings::SettingsDirectory())
                               .filePath(QStringLiteral("Before restore %1.syx")
                                             .arg(QDateTime::currentDateTime().toString(
                                                 QStringLiteral("yyyy-MM-dd hh.mm.ss"))));
            const QString kept = BackUpInto(LastUndoFile, progress);
            if (progress.wasCanceled()) {
                ShowReport(QStringLiteral("Restore cancelled before anything was sent.\n") + kept,
                           false);
                return;
            }
            QString report = SendAndVerify(load.DataSets, progress);
            report += QStringLiteral("\nThe pattern as it was is kept in %1: restore that file "
                                     "to take this restore back.")
                          .arg(QDir::toNativeSeparators(LastUndoFile));
            ShowReport(report, Written != ReadBack);
        });
}

QString TPatternTransfer::SendAndVerify(const std::vector<areas::TDumpMessage> &messages,
                                        QProgressDialog &progress)
{
    const TPatternDevices devices = Devices();
    midi::IMidiOut &out = Outputs.Device(devices.MidiOutIndex);
    const std::vector<areas::TDumpMessage> order = areas::InRestoreOrder(messages);
    const int count = int(order.size());
    progress.setMaximum(count);
    progress.setValue(0);
    std::vector<std::uint64_t> tickets;
    int sent = 0;
    for (const areas::TDumpMessage &message : order) {
        if (progress.wasCanceled())
            break;
        for (const midi::TByteStream &packet :
             sysex::DataSetPackets(devices.DeviceId, message.Address, message.Data))
            out.SendSysEx(packet);
        tickets.push_back(out.LastTicket());
        // The queue keeps the pace; what waits in it could not be taken back by a Cancel.
        if (tickets.size() > SendAhead) {
            const std::uint64_t ticket = tickets[tickets.size() - 1 - SendAhead];
            while (!out.HasLeft(ticket))
                session::WaitPumping(1);
            session::ThrowIfDropped(out, ticket);
        }
        ++sent;
        progress.setLabelText(QStringLiteral("Restoring: %1 of %2 data sets").arg(sent).arg(count));
        progress.setValue(sent);
        emit Progressed(sent);
    }
    // The last data set is taken before the first request, as the next data set would be.
    session::WaitPumpingAfterLeaving(out, VerifyDelayMs);
    const std::span<const areas::TDumpMessage> written(order.data(), std::size_t(sent));
    QString report = QStringLiteral("Restored %1 of %2 data sets.").arg(sent).arg(count);
    if (sent == 0 && count > 0) {
        report += QStringLiteral(" Cancelled before anything was sent.");
    } else if (sent < count) {
        const areas::TArea *area = areas::AreaAt(written.back().Address);
        report += QStringLiteral(" Cancelled: it stopped after %1 (%2); the rest was not sent.")
                      .arg(area ? Name(*area) : QStringLiteral("a data set outside the pattern"),
                           Hex(written.back().Address));
    }
    // Read back every area written, as far as it was written.
    progress.setCancelButton(nullptr);
    progress.setLabelText(QStringLiteral("Verifying..."));
    Written = areas::ImageOf(written);
    std::vector<TRead> reads;
    std::map<std::uint32_t, std::uint32_t> ranges; // start, end of each area's written bytes
    for (const auto &[at, byte] : Written) {
        const areas::TArea *area = areas::AreaAt(areas::FromLinear(at));
        if (!area)
            continue;
        auto &end = ranges[areas::Linear(area->Address)];
        end = std::max(end, at + 1);
    }
    for (const auto &[start, end] : ranges)
        reads.push_back({areas::FromLinear(start), int(end - start)});
    {
        Received.clear();
        const session::TSysExAttachment attached(
            midi::MidiIn(),
            [this](std::int32_t, std::span<const std::uint8_t> data) { Take(data); });
        DeviceByte = static_cast<std::uint8_t>(sysex::DeviceByte(devices.DeviceId));
        Ask(out, reads, PatchWaitMs);
    }
    ReadBack = areas::ImageOf(Backup());
    const std::vector<areas::TAreaCheck> checks = areas::CheckAreas(written, ReadBack);
    const auto equal = std::count_if(checks.begin(), checks.end(), [](const auto &c) {
        return c.Outcome == areas::TAreaCheck::Equal;
    });
    report += QStringLiteral("\nVerified: %1 of %2 areas equal.").arg(equal).arg(checks.size());
    for (const areas::TAreaCheck &check : checks) {
        if (check.Outcome == areas::TAreaCheck::Differs)
            report += QStringLiteral("\n%1 differs from %2.")
                          .arg(Name(*check.Area), Hex(*check.FirstDifference));
        else if (check.Outcome == areas::TAreaCheck::CopyDiffers)
            report += QStringLiteral("\n%1 differs only in a copy of the part's level or pan, "
                                     "from %2.")
                          .arg(Name(*check.Area), Hex(*check.FirstDifference));
        else if (check.Outcome == areas::TAreaCheck::NotAnswered)
            report += QStringLiteral("\n%1 did not answer: not verified.").arg(Name(*check.Area));
    }
    return report;
}

void TPatternTransfer::Compare(const QString &first, const QString &second)
{
    session::RunHandler([&] {
        const TDumpLoad a = LoadDump(first);
        if (!a.Error.isEmpty())
            throw midi::EMidiError(a.Error.toStdString());
        const TDumpLoad b = LoadDump(second);
        if (!b.Error.isEmpty())
            throw midi::EMidiError(b.Error.toStdString());
        auto *view = new TCompareView(Window);
        view->setAttribute(Qt::WA_DeleteOnClose);
        view->Show(areas::ImageOf(a.DataSets), areas::ImageOf(b.DataSets),
                   QFileInfo(first).fileName(), QFileInfo(second).fileName());
        view->show();
    });
}

void TPatternTransfer::ShowReport(const QString &text, bool withDifferences)
{
    LastReport = text;
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Pattern"), text,
                                QMessageBox::Ok, &Window);
    box->setObjectName(QStringLiteral("PatternReport"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (withDifferences) {
        QPushButton *show
            = box->addButton(QStringLiteral("Show Differences"), QMessageBox::ActionRole);
        show->setObjectName(QStringLiteral("ShowDifferences"));
        // The box closes on any button; the view outlives it.
        connect(show, &QPushButton::clicked, this, [this] {
            auto *view = new TCompareView(Window);
            view->setAttribute(Qt::WA_DeleteOnClose);
            view->Show(Written, ReadBack, QStringLiteral("Sent"), QStringLiteral("Read back"));
            view->show();
        });
    }
    box->setWindowModality(Qt::NonModal);
    box->show();
    emit Reported(text);
}

} // namespace pattern
