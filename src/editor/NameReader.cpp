#include "NameReader.h"

#include "PartSession.h"
#include "PatchFileActions.h"
#include "midi/MidiDevices.h"
#include "midi/MidiError.h"
#include "session/ErrorPolicy.h"
#include "session/RequestProcedure.h"
#include "session/WaitPumping.h"
#include "settings/SettingsFile.h"
#include "sysex/PatchMessages.h"
#include "sysex/RolandMessage.h"

#include <QAction>
#include <QMenu>
#include <QProgressDialog>

#include <algorithm>

namespace {

// The instrument loads the patch picked before it can report its name: the request follows the
// selection's last data set by the manual's gap, as another data set would.
constexpr int RequestDelayMs = 20;
// A patch whose name does not come within this time keeps its old one, unless it comes within
// the second time, before the next patch is asked for.
constexpr int NameWaitMs = 300;
constexpr int LateNameWaitMs = 500;

QString ProgressText(int done, int count)
{
    return QStringLiteral("Reading patch names: %1 of %2").arg(done).arg(count);
}

} // namespace

TNameReader::TNameReader(QWidget &window, TPartSession &session, TPatchFileActions &files)
    : QObject(&window)
    , Window(window)
    , Session(session)
    , Files(files)
{
    setObjectName(QStringLiteral("NameReader"));
}

void TNameReader::AddTo(QMenu &file)
{
    auto *read = new QAction(QStringLiteral("Read Patch Names..."), &file);
    read->setObjectName(QStringLiteral("ActionReadNames"));
    connect(read, &QAction::triggered, this,
            [this] { session::RunBurstHandler([this] { ReadNames(); }); });
    // After the patch files' items and their separator, in a group of its own.
    const QList<QAction *> items = file.actions();
    const auto separator = std::find_if(items.begin(), items.end(),
                                        [](QAction *item) { return item->isSeparator(); });
    QAction *first = items.value(separator == items.end() ? 0 : separator - items.begin() + 1);
    file.insertAction(first, read);
    file.insertSeparator(first);
    connect(&session::TRequestProcedure::Instance(), &session::TRequestProcedure::RunningChanged,
            read, [read](bool running) { read->setEnabled(!running); });
}

void TNameReader::ReadNames(int count)
{
    const int part = Session.SelectedPart();
    if (part < 0)
        return;
    count = std::clamp(count, 0, sysex::PatchNameCount);
    session::TRequestProcedure::Instance().Run(this, QStringLiteral("Reading patch names..."),
                                               [this, part, count] { ReadNames(part, count); });
}

void TNameReader::ReadNames(int part, int count)
{
    const std::string partText = "Part " + std::to_string(part + 1);
    std::vector<std::optional<std::string>> names;
    std::string failure;
    bool cancelled = false;
    bool restored = false;
    // Up from the first request: the window waits behind it from then on.
    QProgressDialog progress(ProgressText(0, count), QStringLiteral("Cancel"), 0, count, &Window);
    progress.setObjectName(QStringLiteral("ProgressReadNames"));
    progress.setWindowTitle(QStringLiteral("Read Patch Names"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);
    const auto selection = Session.CollectSelection(part);
    if (!selection || selection->Selection.Group == sysex::NoSelection
        || selection->Selection.Patch == sysex::NoSelection)
        throw midi::EMidiError(partText
                               + " did not answer with a patch of a group (missing: patch "
                                 "selection); the patch names were not read.");
    const std::vector<midi::TByteStream> patch
        = Session.CollectWholePatch(part, "the patch names were not read.");
    try {
        AskNames(part, progress, names);
    } catch (const std::exception &e) {
        failure = e.what();
    }
    cancelled = progress.wasCanceled();
    const auto answered = std::count_if(names.begin(), names.end(),
                                        [](const auto &name) { return name.has_value(); });
    if (!failure.empty())
        failure += "\n" + std::to_string(answered) + " of " + std::to_string(count)
            + " patch names were read before it.";
    progress.setLabelText(QStringLiteral("Restoring part %1...").arg(part + 1));
    progress.setCancelButton(nullptr);
    try {
        midi::IMidiOut &out = Session.Output();
        // The bytes the part had, a bank byte the group would not give included.
        for (const std::string &message :
             sysex::patch::PatchSelectionMessages(Session.DataSetHeader(), part, selection->Bytes))
            out.SendSysExText(message);
        // The patch sent back replaces the one the selection loads, not the other way round.
        session::WaitPumpingAfterLeaving(out, sysex::patch::PatchSelectionWaitMs);
        Files.SendPatchData(part, patch);
        // Only a patch that has left has been given back.
        session::WaitPumpingAfterLeaving(out, 0);
        restored = true;
    } catch (const std::exception &e) {
        failure += (failure.empty() ? "" : "\n") + partText + " could not be restored: " + e.what();
    }
    try {
        const int changed = SaveNames(names);
        Files.ShowReport(
            QStringLiteral("Patch names: %1 of %2 read, %3 changed, %4 did not answer and kept "
                           "their old names%5%6")
                .arg(answered)
                .arg(count)
                .arg(changed)
                .arg(static_cast<qsizetype>(names.size()) - answered)
                .arg(cancelled ? QStringLiteral("; cancelled") : QString())
                .arg(restored ? QString()
                              : QStringLiteral("; part %1 not restored").arg(part + 1)));
        // The part is shown again, and the patch list with the new names.
        Session.ApplySettings();
        if (restored)
            Session.RequestAgain();
    } catch (const std::exception &e) {
        failure += (failure.empty() ? "" : "\n") + std::string(e.what());
    }
    if (!failure.empty())
        throw midi::EMidiError(failure);
}

void TNameReader::AskNames(int part, QProgressDialog &progress,
                           std::vector<std::optional<std::string>> &names)
{
    session::TSysExAttachment attached(
        midi::MidiIn(),
        [this, part](std::int32_t, std::span<const std::uint8_t> data) { TakeAnswer(part, data); });
    const int count = progress.maximum();
    while (static_cast<int>(names.size()) < count && !progress.wasCanceled()) {
        names.push_back(AskName(part, static_cast<int>(names.size())));
        const int done = static_cast<int>(names.size());
        progress.setLabelText(ProgressText(done, count));
        progress.setValue(done);
        emit NameAsked(done);
    }
}

std::optional<std::string> TNameReader::AskName(int part, int index)
{
    midi::IMidiOut &out = Session.Output();
    const int group = index / sysex::PatchesPerGroup;
    for (const std::string &message : sysex::patch::PatchSelectionMessages(
             Session.DataSetHeader(), part, group, index % sysex::PatchesPerGroup))
        out.SendSysExText(message);
    session::WaitPumpingAfterLeaving(out, RequestDelayMs);

    const auto deviceByte = static_cast<std::uint8_t>(sysex::DeviceByte(Session.DeviceId()));
    const sysex::TAddress address {0x02, static_cast<std::uint8_t>(part), 0x00, 0x00};
    const std::array<TAnswerWait::TBlock, 1> block {{{address, NameSize}}};
    NameArrived.reset();
    Answer.Expect(block, deviceByte);
    out.SendSysEx(sysex::RequestMessage(deviceByte, address, NameSize));
    Answer.Run(out, NameWaitMs);
    if (!NameArrived.all()) {
        // An answer later than that is still this patch's: the next patch is asked only once it
        // has come or can no longer be expected, so that it is never taken for the next one's.
        Answer.Run(out, LateNameWaitMs);
        if (!NameArrived.all())
            return std::nullopt;
    }
    // Padded with spaces on the instrument; a character it should not hold shows as a space.
    std::string name(Name.begin(), Name.end());
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c < 32 || c > 125; }, ' ');
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
}

void TNameReader::TakeAnswer(int part, std::span<const std::uint8_t> message)
{
    Answer.Note(message);
    const auto read = sysex::ReadRolandMessage(message);
    if (!read || read->Header.Model != sysex::TModel::Instrument || !read->IsDataSet()
        || !read->ChecksumHolds() || read->Header.Device != sysex::DeviceByte(Session.DeviceId()))
        return;
    const auto address = read->Address();
    if (!address || (*address)[0] != 0x02 || (*address)[1] != part || (*address)[2] != 0x00)
        return;
    // The name may come in pieces: each byte is taken at its own offset.
    const std::span<const std::uint8_t> bytes = read->AfterAddress();
    for (std::size_t k = 0; k < bytes.size() && (*address)[3] + k < std::size_t(NameSize); ++k) {
        Name[(*address)[3] + k] = static_cast<char>(bytes[k]);
        NameArrived.set((*address)[3] + k);
    }
}

int TNameReader::SaveNames(const std::vector<std::optional<std::string>> &names)
{
    // The file's names as they are now: they may have been edited while the instrument was read.
    // A file that cannot be read to its end leaves the names the program has; its first three
    // lines are kept as they stand, whatever they hold.
    settings::TSettingsValues values;
    values.PatchNames = Session.PatchNames();
    const QString path = settings::SettingsFilePath();
    settings::ReadSettingsFile(path, values);
    values.PatchNames.resize(sysex::PatchNameCount);
    int changed = 0;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] && values.PatchNames[i] != *names[i]) {
            values.PatchNames[i] = *names[i];
            ++changed;
        }
    if (changed > 0) {
        const TDeviceSettings devices = Session.Devices();
        settings::WritePatchNames(path, devices.MidiInIndex, devices.MidiOutIndex,
                                  std::to_string(devices.DeviceId), values.PatchNames);
    }
    return changed;
}
