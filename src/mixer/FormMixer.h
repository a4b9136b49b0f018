#pragma once

// The pattern mixer window: level, pan, reverb send, delay send, transposition and MFX switch of
// the pattern's eight parts, with the pattern's reverb and delay settings and the instrument's
// effect switches. Each opening reads the instrument's values before the window appears; from
// then on every change goes to the instrument at once.

#include "MixerSession.h"
#include "session/AnswerWait.h"
#include "sysex/MixerMessages.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

class QCheckBox;
class QPushButton;
class QScrollBar;
class QShowEvent;
class QUndoStack;
class TEditBox;
class TEffectsArea;
class TFormMFX;
class TMixerGroup;
class TReceiveLog;
class TUndoCoordinator;

struct TMainWindowSettings
{
    int MidiOutIndex = 0;
    int DeviceId = 0;
};

class TFormMixer : public QDialog
{
    Q_OBJECT
public:
    // mainWindow gives the main window's MidiOutIndex and DeviceId at each opening; the window
    // sends through the device of that index among outputs.
    TFormMixer(std::function<TMainWindowSettings()> mainWindow, midi::IMidiOuts &outputs,
               QWidget *parent = nullptr);
    ~TFormMixer() override;

    // The opening: requests the pattern and the switches, decodes the answers, then lets the
    // controls send. Runs each time the window is shown, before it appears.
    void FormShow();
    // The decoder of one received message, starting at F0. Sends nothing.
    void DoSysexData(std::int32_t deviceIndex, std::span<const std::uint8_t> bytes);

    void BarTransChange();
    void MFXPartClick();
    // A click on an effect switch sends that switch alone.
    void SwitchClick(sysex::mixer::TFieldId which, bool on);
    void OKBtnClick();

    const TMixerSession &Session() const { return State; }
    // True while an opening is running.
    bool IsOpening() const { return Opening; }

    void done(int result) override;

    // The user's changes become steps on the histories' mixer stack from now on (from the first
    // opening on, when the window has not been opened yet), which is the active one while the
    // window is in front.
    void SetUndo(TUndoCoordinator &undo);

    // The pattern's MFX window, made at its first use: the mixer's own while the mixer shows.
    TFormMFX &Mfx();

protected:
    void showEvent(QShowEvent *event) override;

private:
    TMixerGroup &Group(sysex::mixer::TSendGroup group) const;
    void BuildPanels();
    void BuildPatternRow();
    void PatternNameChange();
    void TempoChange();
    // Show the value and send it: what the user's edit and its undo do.
    void SetPatternName(const QString &name);
    void SetTempo(int tenths);
    // Part R's box from its switch byte: partly ticked for RHY. Sends nothing.
    void ShowRhythmPartMfx(int byte);
    void DecodePart(const sysex::mixer::TPartBlock &block);
    void ShowTransHint(QScrollBar &bar);
    void RefreshTransHints();
    void AppendTag(const char *tag);
    void ConnectSendHandlers();
    // The blocks an opening's three requests are answered with.
    static std::vector<TAnswerWait::TBlock> OpeningAnswers();
    // A group's part value as its control change; an error ends the group's handler there.
    void SendControlChange(sysex::mixer::TSendGroup group, int part, int position);

    std::function<TMainWindowSettings()> MainWindow;
    TMixerSession State;
    std::array<TMixerGroup *, 4> Groups {};
    TEffectsArea *ReverbArea = nullptr;
    TEffectsArea *DelayArea = nullptr;
    // Reverb, delay and MFX.
    std::array<std::pair<sysex::mixer::TFieldId, QCheckBox *>, 3> EffectSwitches {};
    std::array<QScrollBar *, sysex::mixer::PartCount> BarTrans {};
    std::array<QCheckBox *, sysex::mixer::PartCount> CBMFXSwitch {};
    QPushButton *OKBtn = nullptr;
    TReceiveLog *EditBPM = nullptr;
    TEditBox *EditPatternName = nullptr;
    TEditBox *EditTempo = nullptr;
    // What the boxes showed before the user's edit: the instrument's, or the last one sent.
    QString ShownName;
    QString ShownTempo;
    QPointer<TFormMFX> MfxWindow;
    TUndoCoordinator *Undo = nullptr;
    bool SendConnected = false;
    QUndoStack *UndoStack = nullptr;
    bool Opening = false;
    TAnswerWait Answers;
    // A close asked for while the opening runs, carried out once the window is up.
    std::optional<int> PendingResult;
};
