#pragma once

// The main window's session with the instrument: the devices and the device ID from the
// settings file, the part request (its two requests, their waits, the answers dispatched as
// they are decoded), the patch choice, and the tone values and patch data sent to the part.
// Holds no widget: the window shows what it reports and tells it what the user picked.

#include "midi/MidiOutputs.h"
#include "session/AnswerWait.h"
#include "settings/SettingsFile.h"
#include "sysex/PatchMessages.h"

#include <QObject>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The devices and device ID the windows talk through, as the settings file gives them.
struct TDeviceSettings
{
    int MidiInIndex = 0;
    int MidiOutIndex = 0;
    int DeviceId = 0;
};

class TPartSession : public QObject
{
    Q_OBJECT
public:
    static constexpr int PartCount = 7;

    // Every message goes through outputs, to the device of the settings' output index.
    explicit TPartSession(midi::IMidiOuts &outputs, QObject *parent = nullptr);

    // Reads the settings file, opens both devices and builds the headers from the device ID,
    // whatever fails on the way; then throws with every error, when there was any.
    void ApplySettings();
    TDeviceSettings Devices() const;
    const std::vector<std::string> &PatchNames() const { return Settings.PatchNames; }
    midi::IMidiOut &Output() const;
    int DeviceId() const { return Settings.DeviceId; }
    const std::string &DataSetHeader() const { return SetHeader; }
    const std::string &DataRequestHeader() const { return RequestHeader; }

    // The part clicked, 0..6, requested as a job of its own: at once, or while another job runs,
    // once it and those queued before it have ended, the latest of several clicks winning. The
    // running job keeps its part until then, so that what still arrives for it is echoed to it
    // and not to the part just clicked.
    void SelectPart(int part);
    int SelectedPart() const { return Selected; }
    // The selected part requested again.
    void RequestAgain();
    // The part the tone controls' messages go to: the one requested last; and the same as the
    // two hex digits of its messages' address.
    int MessagePart() const { return Requested; }
    std::string PartText() const;
    // The part a change made now is for: the one whose request waits in the queue, else the one
    // requested last.
    int TargetPart() const { return PendingPart.value_or(Requested); }

    // Sends the patch for the selected part (none while patch is -1), then asks for the part
    // again once the instrument has loaded it; a job of its own.
    void ChoosePatch(int group, int patch);
    // One tone parameter of the part the messages go to: offset in the tone block, value as hex.
    void SendToneValue(int tone, int offset, const std::string &valueText);
    // The same, to the part given.
    void SendToneValue(int part, int tone, int offset, const std::string &valueText);
    // The part's whole patch as the instrument sends it, through a request procedure of its own.
    std::vector<midi::TByteStream> CollectPatch(int part);
    // The same, only its patch common and tone blocks kept, when it is complete; otherwise throws
    // naming the blocks missing, followed by what was not done for want of them.
    std::vector<midi::TByteStream> CollectWholePatch(int part, const std::string &notDone);
    // The part's patch selection as the instrument answers it, neither shown nor echoed, with its
    // bytes as they are; none when the answer holds none.
    struct TCollectedSelection
    {
        sysex::patch::TPatchSelection Selection;
        sysex::patch::TSelectionBytes Bytes;
    };
    std::optional<TCollectedSelection> CollectSelection(int part);

    // The decoder attached to the input set during a part request.
    void DoSysexData(std::int32_t deviceIndex, std::span<const std::uint8_t> data);
    // Each answer wait lasts at most ms instead of its request's own time: a test raises it so
    // high that only a wait that ends on its last block can pass.
    void SetWaitBound(int ms) { WaitBound = ms; }

signals:
    // The part's request starts: the part (0..6) the window shows from now on.
    void PartRequested(int part);
    // A patch selection was sent to part (0..6): the one the part played before, when known.
    void PatchSelectionSent(int part, std::optional<sysex::patch::TPatchSelection> before,
                            sysex::patch::TPatchSelection after);
    // What the answers hold, as each is decoded; a slot that throws ends the decoding there.
    void SelectionReceived(const sysex::patch::TPatchSelection &selection);
    void CommonReceived();
    // The name at the start of the patch common block, without its padding.
    void NameReceived(const std::string &name);
    void ToneReceived(int tone, const std::vector<sysex::patch::TToneValue> &values);

private:
    void RequestPart(int part);
    void Ask(const sysex::patch::TRequest &request, std::span<const TAnswerWait::TBlock> blocks);
    // The answers to one of the part's requests, as they came.
    std::vector<midi::TByteStream> Collect(int part, std::size_t request);
    void SendText(const std::string &text);

    midi::IMidiOuts &Outputs;
    settings::TSettingsValues Settings;
    std::string SetHeader;
    std::string RequestHeader;
    int Selected = -1;
    int Requested = 0;
    // The part of the request waiting in the queue.
    std::optional<int> PendingPart;
    // The group and patch each part plays, as last decoded or sent.
    std::array<std::optional<sysex::patch::TPatchSelection>, PartCount> KnownSelections {};
    TAnswerWait Answers;
    std::optional<int> WaitBound;
};
