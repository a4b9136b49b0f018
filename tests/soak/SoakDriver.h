#pragma once

// A long session of a user's actions on the whole program, against the strict built-in
// instrument: seeded random part and patch picks, every kind of tone control, envelope drags,
// mixer sessions, undo and redo, patch files and quiet pauses, all through mouse and key events
// on the controls the windows name. At every quiet pause the program must have lost nothing:
// see TSoakDriver::CheckQuiet.

#include <QPoint>
#include <QString>

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <random>
#include <string>

class QAbstractSlider;
class QWidget;
class TDropDownList;
class TProgramWindows;
class TReceiveLog;
namespace instrument {
class TVirtualInstrument;
}

struct TSoakOptions
{
    std::chrono::seconds Duration {600};
    std::uint64_t Seed = 1;
    long MaxActions = -1; // stop after this many actions; -1: only the duration counts
    QString Directory; // patch files go there
};

// A log control's words, followed as they are appended: nothing before them may change.
struct TLogFollower
{
    QString Seen;
    QString SinceCheck;
    bool Rewritten = false;
    void Follow(TReceiveLog &log);
};

class TSoakDriver
{
public:
    TSoakDriver(TProgramWindows &windows, instrument::TVirtualInstrument &instrument,
                TSoakOptions options);
    ~TSoakDriver();
    TSoakDriver(const TSoakDriver &) = delete;
    TSoakDriver &operator=(const TSoakDriver &) = delete;
    // Runs the session and prints its figures; the exit status (a failure ends the process).
    int Run();

private:
    // The user's actions.
    void PickPart();
    void PickPatch();
    void ClicksDuringARequest();
    void UseToneControl(int tone, int row);
    void DragEnvelope(int tone);
    void MixerSession();
    void MixerAction();
    void UndoOrRedo(QWidget &window);
    void SavePatchFile();
    void OpenPatchFile();
    void QuietPause();

    // The gestures they are made of.
    void Click(QWidget *widget, QPoint at);
    void Key(QWidget *widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void MoveSlider(QAbstractSlider *slider);
    void StepList(TDropDownList *list);
    void TypeNumber(QWidget *box, int value, bool finishWithTab);
    void ShortcutOnMain(int key, Qt::KeyboardModifiers modifiers);
    // Fills in the file dialog the next action opens, as soon as it is up.
    void AnswerFileDialog(const QString &path, int attempt = 0);
    void OpenMixerFromMenu();

    // The checks of a quiet pause, and of the instrument's strict timing at the start.
    void CheckStrictTiming();
    void WaitQuiet(const char *after);
    void CheckQuiet();
    void CheckMainWindow();
    void CheckMixerWindow();
    // The MFX window, opened from the mixer: a type or a parameter changed by the user.
    void MfxAction();
    void CheckMfxWindow();
    void CheckLog(TLogFollower &log, const QString &unit, long atLeast, const char *name);

    int Draw(int count); // 0..count-1
    int Between(int low, int high); // low..high
    void Note(const QString &action);
    [[noreturn]] void Fail(const QString &what);
    void PrintFigures(std::chrono::steady_clock::duration wall);

    TProgramWindows &Windows;
    instrument::TVirtualInstrument &Instrument;
    TSoakOptions Options;
    std::mt19937_64 Random;
    std::chrono::steady_clock::time_point Start;
    long Actions = 0;
    long Checks = 0;
    long MfxChecks = 0;
    long Compared = 0; // controls compared with the instrument's memory
    std::map<std::string, long> ActionCounts;
    std::deque<QString> Trail; // the latest actions, printed with a failure
    std::uint64_t OwnRequests = 0; // the start check's data sets, not counted as the program's
    std::uint64_t DeliberateDrops = 0; // those of the start's strict-timing check
    int SavedFiles = 0;
    bool InMixer = false;
    long PartAnswersExpected = 0;
    TLogFollower PartLog;
    TLogFollower MixerLog;
    QString MixerOpeningWords; // what the first opening appended to the mixer's log
    long MixerOpenings = 0;
    long MixerOpeningsChecked = 0;
    std::size_t BaselineResident = 0;
    std::chrono::steady_clock::duration BaselineAt {};
    // The second sample: a bounded store that has filled up by then adds nothing after it, a
    // leak goes on adding; see Run for where it is taken.
    std::size_t LateResident = 0;
    std::chrono::steady_clock::duration LateAt {};
};
