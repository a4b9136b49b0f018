#pragma once

// The settings of one of the pattern's effects, reverb or delay, in its panel of the mixer
// window: a list, bar or box for each field of the effect's group in the mixer table. Every
// change is reported as the group's values, in table order; the window sends them. The decoder
// fills them from the pattern common block.

#include "MixerSession.h"
#include "sysex/MixerMessages.h"

#include <QMetaObject>
#include <QWidget>

#include <array>
#include <vector>

class QLineEdit;
class TEditBox;
class TUpDown;

class TEffectsArea : public QWidget
{
    Q_OBJECT
public:
    // group: TSending::ReverbGroup or DelayGroup. The area covers the panel's height from left,
    // width pixels wide; its controls keep their places in the panel.
    TEffectsArea(sysex::mixer::TSending group, const TMixerSession &session, QWidget *panel,
                 int left, int width);

    // From the first opening on, changes are reported and the delay group replaces the feedback
    // clamp. Connecting again changes nothing.
    void ConnectSendHandlers();

    // Shows the group's values; sends nothing.
    void Decode(const sysex::mixer::TValues &values);

    // Handler of every control: clamps the feedback, then reports the group's values.
    void SettingChange();

signals:
    // The group's values in table order; a slot that throws ends the handler.
    void Change(const std::vector<int> &values);

private:
    void AddControl(sysex::mixer::TFieldId field, const char *caption, const char *hint, int left,
                    int top, int width);
    int Value(sysex::mixer::TFieldId field) const;
    void SetValue(sysex::mixer::TFieldId field, int value);
    // Keeps the feedback box within 0..98 and the arrows on its value; a rewrite of the box runs
    // the box's handler at once, and an error of that run ends this one.
    void ClampFeedback();
    void RefreshDelayTime();

    const TMixerSession &Session;
    const std::vector<sysex::mixer::TFieldId> GroupFields;
    std::array<QWidget *, sysex::mixer::FieldCount> Controls {};
    // The delay's: the time as text, and the arrows of the feedback box.
    QLineEdit *EditDelayTime = nullptr;
    TEditBox *EditDelayFeedback = nullptr;
    TUpDown *UpDownDelayFeedback = nullptr;
    QMetaObject::Connection FeedbackClamp;
    bool SendConnected = false;
};
