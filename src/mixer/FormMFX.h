#pragma once

// The pattern's multi-effect: its type and the parameters that type uses, each with the value
// as the instrument shows it, and part R's MFX switch with its third value RHY. Opened from the
// mixer it shows the mixer's answer and stays above it, usable while the mixer is up; opened
// alone it reads the thirteen bytes first. Each change goes to the instrument at once as one
// data set, and is a step of the mixer's undo history.

#include "FormMixer.h"
#include "MixerSession.h"
#include "session/AnswerWait.h"
#include "sysex/MfxParams.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

class QPushButton;
class QUndoStack;
class TDropDownList;
class TMfxParamRow;
class TUndoCoordinator;

class TFormMFX : public QWidget
{
    Q_OBJECT
public:
    TFormMFX(std::function<TMainWindowSettings()> mainWindow, midi::IMidiOuts &outputs,
             QWidget *parent = nullptr);
    ~TFormMFX() override;

    // Shows the window above owner (the mixer, whose answer it then shows), or as a window of
    // its own when owner is none, which reads the instrument's values first.
    void OpenFrom(QWidget *owner);
    // Reads the instrument's thirteen bytes and shows them: a job of the program's queue.
    void ReadValues();
    // A received message: the MFX bytes and part R's switch it carries are shown. Sends nothing.
    void DoSysexData(std::span<const std::uint8_t> bytes);
    // The mixer has read its opening: its answer is what the window shows from now on.
    void ForgetValues() { Known = false; }

    // The type and the twelve bytes as shown (a byte out of range as it is stored).
    const sysex::mfx::TValues &Values() const { return Stored; }
    bool ValuesKnown() const { return Known; }
    // Part R's switch byte as last read or set, none before.
    std::optional<int> RhythmPartMfx() const { return Rhythm; }
    // Part R's switch as the mixer's box set it: shown, not sent.
    void ShowRhythmPartMfx(int byte);

    // Sets value v (0 the type, 1..12 the parameters) as the user would: shown and sent; a type
    // is then read back.
    void SetValue(int v, int byte);
    // Sends values as read from a file: the type, then each parameter it uses, one undo step.
    void ApplyValues(const sysex::mfx::TValues &values);
    // Part R's switch set as the user would: shown and sent as a data set.
    void SetRhythmPartMfx(int byte);

    void SaveToFile(const QString &path);
    void OpenFile(const QString &path);

    void SetUndo(TUndoCoordinator &undo);

protected:
    void showEvent(QShowEvent *event) override;

signals:
    // The user set part R's switch here: the mixer's box shows it.
    void RhythmPartMfxChanged(int byte);

private:
    void Build();
    void ShowValues();
    void Send(int v, int byte);
    void Take(const TMainWindowSettings &settings);
    void UserChange(int v, int byte, bool held);
    void Push(const QString &text, std::function<void()> undo, std::function<void()> redo);

    std::function<TMainWindowSettings()> MainWindow;
    TMixerSession State;
    sysex::mfx::TValues Stored {};
    bool Known = false;
    std::optional<int> Rhythm;
    TDropDownList *TypeList = nullptr;
    TDropDownList *RhythmList = nullptr;
    std::array<TMfxParamRow *, sysex::mfx::ParamCount> Rows {};
    QUndoStack *UndoStack = nullptr;
    TAnswerWait Answers;
    int DragSerial = 0;
};
