// Arbitrary bytes as a settings file. The reader must survive anything, and what it read must
// come back unchanged through the writer: the dialog writes back every name it was given. The
// device ID read goes into every message header, so whatever number the file holds, the requests
// and data sets built with it must be well formed (no byte of 80h or more inside them).

#include "midi/SysExText.h"
#include "settings/SettingsFile.h"
#include "sysex/MixerMessages.h"
#include "sysex/PatchMessages.h"
#include "sysex/RolandMessage.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
QString ScratchPath(const char *what)
{
    return QDir::temp().filePath(
        QStringLiteral("ombrix_fuzz_%1_%2.INI").arg(QString::fromLatin1(what)).arg(getpid()));
}

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

void RequireSound(const std::string &text)
{
    midi::TByteStream message;
    midi::HexTextToSysEx(text, message);
    Require(!midi::SysExFault(message));
}

// What the two windows send with the file's device ID: their opening requests, a patch choice, a
// data set behind the model-3A header.
void RequireSoundMessages(int deviceId)
{
    const std::string request = sysex::DataRequestHeader(deviceId);
    for (int part = 0; part < 7; ++part)
        for (const sysex::patch::TRequest &r : sysex::patch::PartRequests(request, part))
            RequireSound(r.Text);
    for (const sysex::mixer::TRequest &r : sysex::mixer::OpeningRequests(request))
        RequireSound(r.Text);
    for (const std::string &text :
         sysex::patch::PatchSelectionMessages(sysex::DataSetHeader(deviceId), 6, 8, 127))
        RequireSound(text);
    RequireSound(sysex::mixer::MfxPartMessage(sysex::Model3AHeader(deviceId), 6, true));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString input = ScratchPath("input");
    static const QString output = ScratchPath("output");
    static const bool cleanUpAtExit = [] {
        std::atexit([] {
            QFile::remove(input);
            QFile::remove(output);
        });
        return true;
    }();
    (void)cleanUpAtExit;
    {
        QFile file(input);
        Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        Require(file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
    }

    settings::TSettingsValues first;
    first.MidiInIndex = 7;
    first.MidiOutIndex = 8;
    first.DeviceId = 9;
    const settings::TReadOutcome outcome = settings::ReadSettingsFile(input, first);
    Require(outcome.Exists);
    Require(first.PatchNames.size() == std::size_t(settings::PatchNameCount));
    std::size_t total = 0;
    for (const std::string &name : first.PatchNames) {
        Require(name.find('\n') == std::string::npos);
        Require(name.size() <= settings::MaxNameBytes);
        total += name.size();
        settings::PatchNameForDisplay(name);
    }
    // The names are the input's bytes, never more.
    Require(total <= size);

    RequireSoundMessages(first.DeviceId);

    settings::WriteSettingsFile(output, first.MidiInIndex, first.MidiOutIndex,
                                std::to_string(first.DeviceId), first.PatchNames);
    settings::TSettingsValues second;
    const settings::TReadOutcome again = settings::ReadSettingsFile(output, second);
    Require(again.Exists && again.Error.empty());
    Require(second.MidiInIndex == first.MidiInIndex);
    Require(second.MidiOutIndex == first.MidiOutIndex);
    Require(second.DeviceId == first.DeviceId);
    Require(second.PatchNames == first.PatchNames);
    return 0;
}
