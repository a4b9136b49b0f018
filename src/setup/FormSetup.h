#pragma once

// The setup dialog: the MIDI input and output devices and the instrument's device ID. OK writes
// them to the settings file together with the patch names read from it, which pass through
// untouched, and the gap between two data sets to the second settings file.

#include "session/Detect.h"

#include <QDialog>
#include <string>
#include <vector>

class QFrame;
class QKeyEvent;
class QLabel;
class QPushButton;
class QShowEvent;
class TDropDownList;
class TEditBox;
class TUpDown;

class TFormSetup : public QDialog
{
    Q_OBJECT
public:
    explicit TFormSetup(QWidget *parent = nullptr);

    // The dialog's handlers.
    void FormShow();
    void EditSetup_IdChange();
    void EditSetup_GapChange();
    void OKBtnClick();
    void CancelBtnClick();
    // Looks for a real MC-307 on the system's devices and shows what it found; saves nothing.
    void DetectBtnClick();
    bool Detecting() const { return Detector.Running(); }
    // Where Detect's requests go: the output devices the windows send through.
    void SendThrough(midi::IMidiOuts &outputs) { Detector.SendThrough(&outputs); }
    // The search's waits, for tests.
    session::TDetector &DetectorForTests() { return Detector; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void CentreOnScreen();

    QFrame *Bevel1;
    QLabel *LabelSetup_Midi_in;
    QLabel *LabelSetup_Midi_out;
    QLabel *LabelSetup_Id;
    TDropDownList *LBSetup_Midi_in;
    TDropDownList *LBSetup_Midi_out;
    TEditBox *EditSetup_Id;
    TUpDown *UpDown_Setup_Id;
    QLabel *LabelSetup_Gap;
    TEditBox *EditSetup_Gap;
    TUpDown *UpDown_Setup_Gap;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;
    QPushButton *DetectBtn;
    QLabel *LabelSetup_Detect;
    session::TDetector Detector;

    // The names of the last settings file read, written back unchanged by OK.
    std::vector<std::string> SetupPatchNames;
};
