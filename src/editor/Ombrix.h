#pragma once

// The main window: the patch editor. Shows the selected part's patch selection and patch in the
// four tone columns as its part session reads them from the instrument, and hands the user's
// picks and changes to the session, which sends each at once. Its menus open the other windows,
// the patch files and the program's undo histories.

#include "PartSession.h"
#include "sysex/Enveloppe.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QDialog;
class QLabel;
class QMenu;
class QStatusBar;
class TDropDownList;
class TPatchFileActions;
class TPatchNameBox;
class TRadioGroup;
class TReceiveLog;
class TToneColumn;
class TUndoCoordinator;

class TOmbrix : public QMainWindow
{
    Q_OBJECT
public:
    // Reads the settings, opens the devices and requests part 1: by the time it returns, part 1
    // is shown. Every message goes through outputs; the steps go to undo's histories.
    TOmbrix(midi::IMidiOuts &outputs, TUndoCoordinator &undo, QWidget *parent = nullptr);
    ~TOmbrix() override;

    // The dialogs the menu shows; created after this window.
    void SetDialogs(QDialog *formSetup, QDialog *formMixer);
    // The window View > MIDI Monitor brings to the front; the menu is there without one.
    void SetMonitor(QWidget *formMonitor) { FormMonitor = formMonitor; }
    // What Pattern > MFX runs: the MFX window is the mixer's, which this window does not know.
    void SetMfxOpener(std::function<void()> open) { OpenMfx = std::move(open); }
    // Pattern > Rhythm Set runs this: the rhythm set window lies in a layer beside this one.
    void SetRhythmOpener(std::function<void()> open) { OpenRhythm = std::move(open); }

    TPartSession &Session() const { return *PartSession; }
    TPatchFileActions &PatchFiles() const { return *Files; }
    // The devices and device ID the settings file gave, for the other windows.
    TDeviceSettings Devices() const { return PartSession->Devices(); }
    // The File menu, for the items of the windows above this one.
    QMenu &FileMenu() const { return *File; }
    TToneColumn &Column(int tone) const { return *Columns[static_cast<std::size_t>(tone - 1)]; }

    // Shows the names of a group's patches in the patch list.
    void FillPatchList(int group);

private:
    void BuildControls();
    void BuildMenus();
    void CreateEnvelopes();
    // "Sending n messages..." while a burst waits in the output queue.
    void ShowSending();
    // What the running job does, beside the status bar's news.
    void ShowJob(const QString &doing);
    // A tone control's value, sent now or after the running job.
    void SendToneChange(TToneColumn &column, int tone, int offset, const std::string &value);
    void LBPatchChange();
    // Shows a group and patch in the lists and sends them as a pick does.
    void PickPatch(int group, int patch);
    void ShowSelection(const sysex::patch::TPatchSelection &selection);
    void AppendLog(const char *word);

    TPartSession *PartSession;
    TUndoCoordinator &Undo;
    TPatchFileActions *Files = nullptr;
    TPatchNameBox *NameBox = nullptr;
    TDropDownList *LBPatch = nullptr;
    TDropDownList *LBPatchGroup = nullptr;
    TRadioGroup *RadioGroupSelectPart = nullptr;
    TReceiveLog *Edit1 = nullptr;
    std::array<TToneColumn *, 4> Columns {};
    // EnvAmpTone1, EnvPitchTone1, EnvFilterTone1, EnvAmpTone2, ... EnvFilterTone4.
    std::array<std::unique_ptr<sysex::TEnveloppe>, 12> Envelopes;
    QMenu *File = nullptr;
    QDialog *FormSetup = nullptr;
    QDialog *FormMixer = nullptr;
    std::function<void()> OpenRhythm;
    QWidget *FormMonitor = nullptr;
    std::function<void()> OpenMfx;
    QStatusBar *StatusBar = nullptr;
    bool SendingShown = false;
    QLabel *JobLabel = nullptr;
};
