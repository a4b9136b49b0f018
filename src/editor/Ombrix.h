#pragma once

// The main window: the patch editor. Reads the settings and opens the ports when it is created,
// requests the selected part's patch selection and patch from the instrument, shows them in the
// four tone columns, and sends every change straight back.

#include "midi/MidiOutputs.h"
#include "sysex/Enveloppe.h"
#include "sysex/PatchMessages.h"

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class QAction;
class QDialog;
class QDragEnterEvent;
class QDropEvent;
class QMenu;
class QLabel;
class QLineEdit;
class QStatusBar;
class QUndoGroup;
class QUndoStack;
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
    // Patch files of the selected part: the menu's dialogs, then the work itself.
    void OpenPatchClick();
    void SavePatchClick();
    void OpenPatch(const QString &path);
    void SavePatch(const QString &path);
    // The decoder attached to the input set during a part request.
    void DoSysexData(std::int32_t deviceIndex, std::span<const std::uint8_t> data);

    TToneColumn &Column(int tone) const { return *Columns[static_cast<std::size_t>(tone - 1)]; }

    // The undo stacks: one per part (0..6), one for the mixer window; the group's active one
    // follows the selected part and the window in front.
    QUndoGroup &UndoGroup() const { return *UndoSteps; }
    QUndoStack &PartUndoStack(int part) const
    {
        return *PartStacks[static_cast<std::size_t>(part)];
    }
    QUndoStack &MixerUndoStack() const { return *MixerStack; }
    // Steps each stack keeps; the oldest go first.
    static constexpr int UndoLimit = 200;

    // Settings and selection state.
    int MidiInIndex = 0;
    int MidiOutIndex = 0;
    int DeviceId = 0;
    std::string PartText;
    std::vector<std::string> PatchNames;
    std::string DataSetHeader;
    std::string DataRequestHeader;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

signals:
    // A patch file was sent to part (0..6): the data sets the part held before, and the file's.
    // Not for a file sent without the part's whole patch kept: that one cannot be undone.
    void PatchFileOpened(int part, std::vector<std::vector<std::uint8_t>> before,
                         std::vector<std::vector<std::uint8_t>> after);
    // A patch selection was sent to part (0..6): the one the part played before, when known.
    void PatchSelectionSent(int part, std::optional<sysex::patch::TPatchSelection> before,
                            sysex::patch::TPatchSelection after);

private:
    void FormCreate();
    void BuildPatchFileMenu(QMenu *file);
    // The part's whole patch as the instrument sends it, through a request procedure of its own.
    std::vector<midi::TByteStream> CollectPatch(int part);
    void FillRecentPatchMenu();
    // Puts the file first in the recent files of Ombrix.conf.
    void RememberPatchFile(const QString &path);
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
    std::array<std::unique_ptr<sysex::TEnveloppe>, 12> Envelopes;
    QDialog *FormSetup = nullptr;
    QDialog *FormMixer = nullptr;
    QAction *SetupAction = nullptr;
    QAction *MixerAction = nullptr;
    QWidget *FormMonitor = nullptr;
    QStatusBar *StatusBar = nullptr;
    QString PatchFileDirectory;
    QMenu *RecentPatchMenu = nullptr;
    bool SendingShown = false;
    // A part was clicked while a request procedure ran.
    bool PartRequestPending = false;

    // Undo and redo (OmbrixUndo.cpp).
    void BuildEditMenu();
    void ConnectToneSteps();
    void FollowActiveStack(bool mixerInFront);
    void RefreshEditActions();
    void RunUndo(bool redo);
    void SetPatchBack(int group, int patch);
    void SendPatchMessages(int part, const std::vector<std::vector<std::uint8_t>> &messages);
    void WatchMixerWindow();
    QUndoGroup *UndoSteps = nullptr;
    std::array<QUndoStack *, 7> PartStacks {};
    QUndoStack *MixerStack = nullptr;
    QAction *UndoAction = nullptr;
    QAction *RedoAction = nullptr;
    bool Undoing = false;
    // The part PartText names: the one the controls' messages go to.
    int MessagePart = 0;
    // The group and patch each part plays, as last decoded or sent.
    std::array<std::optional<sysex::patch::TPatchSelection>, 7> KnownSelections {};
};
