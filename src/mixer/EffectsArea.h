#pragma once

// The pattern's reverb and delay settings and the instrument's three effect switches, in the
// mixer window's reverb, delay and MFX panels: every change sends its whole group (or its one
// switch) to the pattern common block (or the system area), and the decoder fills them from the
// blocks the opening reads.

#include "MixerSession.h"
#include "sysex/MixerMessages.h"

#include <QMetaObject>
#include <QObject>
#include <QPoint>

class QCheckBox;
class QLabel;
class QLineEdit;
class QScrollBar;
class QWidget;
class TDropDownList;
class TEditBox;
class TUpDown;

class TEffectsArea : public QObject
{
    Q_OBJECT
public:
    struct TPlacement
    {
        int Left; // of the settings, in the reverb and delay panels
        int Width;
        QPoint ReverbSwitch; // beside each panel's title
        QPoint DelaySwitch;
        QPoint MfxSwitch;
    };

    TEffectsArea(const TMixerSession &session, QWidget *reverbPanel, QWidget *delayPanel,
                 QWidget *mfxPanel, const TPlacement &placement);

    // From the first opening on, changes are sent and the delay group replaces the feedback
    // clamp. Connecting again changes nothing.
    void ConnectSendHandlers();

    void DecodeCommon(const sysex::mixer::TCommonValues &values);
    void DecodeSwitches(const sysex::mixer::TSwitchValues &values);

    void ReverbChange();
    void DelayChange();
    void EditDelayFeedbackChange();
    void SwitchClick(sysex::mixer::TEffectSwitch which, bool on);

private:
    // Tests and scripts reach these controls by their object names.
    TDropDownList *LBReverbType = nullptr;
    TDropDownList *LBReverbHF = nullptr;
    QScrollBar *BarReverbLevel = nullptr;
    QScrollBar *BarReverbTime = nullptr;
    QScrollBar *BarReverbToMFX = nullptr;
    TDropDownList *LBDelayType = nullptr;
    TDropDownList *LBDelayHF = nullptr;
    QScrollBar *BarDelayLevel = nullptr;
    QScrollBar *BarDelayTime = nullptr;
    QLineEdit *EditDelayTime = nullptr;
    TEditBox *EditDelayFeedback = nullptr;
    TUpDown *UpDownDelayFeedback = nullptr;
    TDropDownList *LBDelayOutput = nullptr;
    QScrollBar *BarDelayToMFX = nullptr;
    QCheckBox *CBReverbSwitch = nullptr;
    QCheckBox *CBDelaySwitch = nullptr;
    QCheckBox *CBMFXSwitch = nullptr;

    // Keeps the feedback box within 0..98 and the arrows on its value; a rewrite of the box runs
    // the box's handler at once, and an error of that run ends this one.
    void ClampFeedback();
    void RefreshDelayTime();
    void SendAll(const std::vector<std::string> &messages);

    const TMixerSession &Session;
    QMetaObject::Connection FeedbackClamp;
    bool SendConnected = false;
};
