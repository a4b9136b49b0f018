#pragma once

// The rhythm set window: part R's kit of 64 keys. Each opening reads the set's name and every
// key as one job; a key switch shows what was read and sends nothing. Every change of a key,
// a pasted key and the name go to the instrument at once as one data set, each a step of the
// rhythm set's own history; a rhythm set file is saved from what was read, and one opened is
// sent whole, as one step.

#include "RhythmData.h"
#include "midi/MidiOutputs.h"
#include "session/AnswerWait.h"

#include <QMainWindow>

#include <functional>
#include <optional>

class QLineEdit;
class QStandardItemModel;
class QTableView;
class QUndoStack;
class TKeyPanel;
class TRhythmKeyboard;
class TUndoCoordinator;

// Where the window sends: the main window's output and the instrument's device ID.
struct TRhythmTarget
{
    int MidiOutIndex = 0;
    int DeviceId = 17;
};

class TFormRhythm : public QMainWindow
{
    Q_OBJECT
public:
    TFormRhythm(std::function<TRhythmTarget()> target, midi::IMidiOuts &outputs,
                QWidget *parent = nullptr);
    ~TFormRhythm() override;

    // Shows the window and reads the rhythm set from the instrument.
    void Open();
    // The reading alone, as a job of the program's queue.
    void Read();
    void SetUndo(TUndoCoordinator &undo);

    int SelectedKey() const { return Selected; }
    void SelectKey(int note);
    const TRhythmData &Data() const { return Known; }
    bool IsReading() const { return Reading; }

    void CopyKey();
    void PasteKey();
    // Writes the set as read to a .syx file; false and an error box when it cannot.
    bool SaveTo(const QString &path);
    // Reads a rhythm set file or a pattern dump and sends its set, paced, as one step.
    bool OpenFrom(const QString &path);

private:
    void BuildWindow();
    void BuildMenus();
    std::vector<TAnswerWait::TBlock> Blocks(const std::vector<int> &blocks) const;
    void ShowAll();
    void ShowKeyRow(int note);
    void KeyEdited(int row);
    void NameEdited();
    void Play(int note, bool on);
    // Sets the window to data, sending what differs from what the instrument holds.
    void Apply(const TRhythmData &data);
    void SendDifferences(const TRhythmData &from, const TRhythmData &to);
    void Push(const QString &text, const TRhythmData &before, int drag = 0);
    midi::IMidiOut &Output() const;
    int DeviceId() const { return Current.DeviceId; }

    std::function<TRhythmTarget()> Target;
    midi::IMidiOuts &Outputs;
    TRhythmTarget Current;
    TRhythmData Known;
    int Selected = 36;
    std::optional<sysex::rhythm::TKeyBlock> Copied;
    bool Reading = false;
    TAnswerWait Answers;

    QLineEdit *EditName = nullptr;
    TRhythmKeyboard *Keyboard = nullptr;
    QTableView *KeyList = nullptr;
    QStandardItemModel *KeyRows = nullptr;
    TKeyPanel *Panel = nullptr;
    QUndoStack *UndoStack = nullptr;
};
