#pragma once

// The main window: the patch editor. Reads the settings and opens the ports when it is created,
// requests the selected part's patch selection and patch from the instrument, shows them in the
// four tone columns, and sends every change straight back.

#include "midi/MidiOutputs.h"
#include "protocol/Enveloppe.h"

#include <QMainWindow>
#include <array>
#include <memory>
#include <span>
#include <string>
#include <vector>

class QAction;
class QDialog;
class QLabel;
class QLineEdit;
class QStatusBar;
class TDropDownList;
class TRadioGroup;
class TReceiveLog;
class TToneColumn;

class TOmbrix : public QMainWindow
{
    Q_OBJECT
public:
    // Runs FormCreate: by the time it returns, part 1 has been requested. Every message goes
    // through outputs, to the device of MidiOutIndex.
    explicit TOmbrix(midi::IMidiOuts &outputs, QWidget *parent = nullptr);
    ~TOmbrix() override;

    // The dialogs the menu shows; created after this window.
    void SetDialogs(QDialog *formSetup, QDialog *formMixer);
    // The window View > MIDI Monitor brings to the front; the menu is there without one.
    void SetMonitor(QWidget *formMonitor) { FormMonitor = formMonitor; }

    void ApplySettings();
    void RadioGroupSelectPartClick();
    void LBPatchChange();
    void FillPatchList(int group);
    void SetupClick();
    void MixerClick();
    void QuitterClick();
    // The decoder attached to the input set during a part request.
    void DoSysexData(std::int32_t deviceIndex, std::span<const std::uint8_t> data);

    TToneColumn &Column(int tone) const { return *Columns[static_cast<std::size_t>(tone - 1)]; }

    // Settings and selection state.
    int MidiInIndex = 0;
    int MidiOutIndex = 0;
    int DeviceId = 0;
    std::string PartText;
    std::vector<std::string> PatchNames;
    std::string DataSetHeader;
    std::string DataRequestHeader;

private:
    void FormCreate();
    void BuildControls();
    void BuildViewMenu();
    // "Sending n messages..." while a burst waits in the output queue.
    void BuildStatusBar();
    void ShowSending();
    // The part request proper: the two requests and their waits, with the decoder attached.
    void RequestPart();
    void AppendLog(const char *word);
    void SendText(const std::string &text);

    midi::IMidiOuts &Outputs;

    TDropDownList *LBPatch = nullptr;
    TDropDownList *LBPatchGroup = nullptr;
    TRadioGroup *RadioGroupSelectPart = nullptr;
    TReceiveLog *Edit1 = nullptr;
    QLabel *LabelPub = nullptr;
    std::array<TToneColumn *, 4> Columns {};
    // EnvAmpTone1, EnvPitchTone1, EnvFilterTone1, EnvAmpTone2, ... EnvFilterTone4.
    std::array<std::unique_ptr<TEnveloppe>, 12> Envelopes;
    QDialog *FormSetup = nullptr;
    QDialog *FormMixer = nullptr;
    QAction *SetupAction = nullptr;
    QAction *MixerAction = nullptr;
    QWidget *FormMonitor = nullptr;
    QStatusBar *StatusBar = nullptr;
    // A part was clicked while a request procedure ran.
    bool PartRequestPending = false;
};
