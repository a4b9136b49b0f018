#include "EffectsArea.h"

#include "DelayTimeText.h"

#include "controls/DropDownList.h"
#include "controls/EditBox.h"
#include "controls/ScrollBar.h"
#include "controls/TextToInt.h"
#include "controls/UpDown.h"
#include "session/ErrorPolicy.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QWidget>

#include <algorithm>

namespace {
constexpr int LabelHeight = 13;
constexpr int ControlHeight = 18;

template<std::size_t N>
TDropDownList *NewList(QWidget *panel, const char *name, const std::array<const char *, N> &items,
                       const char *hint)
{
    auto *list = new TDropDownList(panel);
    list->setObjectName(QString::fromLatin1(name));
    for (const char *item : items)
        list->addItem(QString::fromLatin1(item));
    list->SetItemIndex(-1);
    list->setToolTip(QString::fromLatin1(hint));
    return list;
}

QScrollBar *NewBar(QWidget *panel, const char *name, int maximum, const char *hint)
{
    auto *bar = new TScrollBar(Qt::Horizontal, panel);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setRange(0, maximum);
    bar->setValue(0);
    bar->setToolTip(QString::fromLatin1(hint));
    return bar;
}

QCheckBox *NewSwitch(QWidget *panel, const char *name, const char *hint, QPoint at)
{
    auto *box = new QCheckBox(panel);
    box->setObjectName(QString::fromLatin1(name));
    box->setToolTip(QString::fromLatin1(hint));
    box->setGeometry(at.x(), at.y(), 16, 16);
    return box;
}

// A caption above its control.
void Caption(QWidget *panel, const char *text, int left, int top, int width)
{
    auto *label = new QLabel(QString::fromLatin1(text), panel);
    label->setGeometry(left, top, width, LabelHeight);
}

void Place(QWidget *control, QWidget *panel, const char *caption, int left, int top, int width,
           int height = ControlHeight)
{
    if (caption)
        Caption(panel, caption, left, top, width);
    control->setGeometry(left, top + LabelHeight, width, height);
}
} // namespace

TEffectsArea::TEffectsArea(const TMixerSession &session, QWidget *reverbPanel, QWidget *delayPanel,
                           QWidget *mfxPanel, const TPlacement &placement)
    : QObject(reverbPanel)
    , Session(session)
{
    const int left = placement.Left;
    const int listWidth = 74;
    const int right = left + listWidth + 8; // the bars' column
    const int barWidth = placement.Left + placement.Width - right;

    // Reverb: type and level, damping and time, then the MFX send.
    LBReverbType = NewList(reverbPanel, "LBReverbType", sysex::mixer::ReverbTypeItems,
                           "Select the Reverb type");
    Place(LBReverbType, reverbPanel, "Type", left, 18, listWidth);
    BarReverbLevel = NewBar(reverbPanel, "BarReverbLevel", 127, "Output level of the Reverb");
    Place(BarReverbLevel, reverbPanel, "Level", right, 18, barWidth, 16);
    LBReverbHF = NewList(reverbPanel, "LBReverbHF", sysex::mixer::HfDampItems,
                         "All the frequencies above will be cut from the reverb");
    Place(LBReverbHF, reverbPanel, "HF Damp", left, 54, listWidth);
    BarReverbTime = NewBar(reverbPanel, "BarReverbTime", 127, "Time of the Reverb release");
    Place(BarReverbTime, reverbPanel, "Time", right, 54, barWidth, 16);
    BarReverbToMFX = NewBar(reverbPanel, "BarReverbToMFX", 127,
                            "Apply a reverb on each MFX Part after the MFX");
    Place(BarReverbToMFX, reverbPanel, "MFX to Revb", left, 106, placement.Width, 16);

    // Delay: type and level; damping, time and its text; output and feedback; the MFX send.
    const int timeTextWidth = 34;
    LBDelayType
        = NewList(delayPanel, "LBDelayType", sysex::mixer::DelayTypeItems, "Select the Delay type");
    Place(LBDelayType, delayPanel, "Type", left, 16, listWidth);
    BarDelayLevel = NewBar(delayPanel, "BarDelayLevel", 127, "Output level of the Delay");
    Place(BarDelayLevel, delayPanel, "Level", right, 16, barWidth, 16);
    LBDelayHF = NewList(delayPanel, "LBDelayHF", sysex::mixer::HfDampItems,
                        "All the frequencies above will be cut from the delay");
    Place(LBDelayHF, delayPanel, "HF Damp", left, 47, listWidth);
    BarDelayTime = NewBar(delayPanel, "BarDelayTime", sysex::mixer::DelayTimeMaximum,
                          "Time between 2 repetitions");
    Place(BarDelayTime, delayPanel, "Time", right, 47, barWidth - timeTextWidth - 2, 16);
    EditDelayTime = new QLineEdit(delayPanel);
    EditDelayTime->setObjectName(QStringLiteral("EditDelayTime"));
    EditDelayTime->setReadOnly(true);
    EditDelayTime->setFrame(false);
    EditDelayTime->setFocusPolicy(Qt::NoFocus);
    EditDelayTime->setAlignment(Qt::AlignRight);
    Place(EditDelayTime, delayPanel, nullptr, right + barWidth - timeTextWidth, 47, timeTextWidth,
          16);
    LBDelayOutput = NewList(delayPanel, "LBDelayOutput", sysex::mixer::DelayOutputItems,
                            "Select the output destination");
    Place(LBDelayOutput, delayPanel, "Output", left, 78, listWidth);
    EditDelayFeedback = new TEditBox(delayPanel);
    EditDelayFeedback->setObjectName(QStringLiteral("EditDelayFeedback"));
    EditDelayFeedback->setMaxLength(3);
    EditDelayFeedback->setText(QStringLiteral("0"));
    EditDelayFeedback->setToolTip(QStringLiteral("Amount of originial sound to repeat"));
    Caption(delayPanel, "Feedbck (%)", right, 78, 80);
    Place(EditDelayFeedback, delayPanel, nullptr, right, 78, 32);
    UpDownDelayFeedback = new TUpDown(0, sysex::mixer::FeedbackMaximum, 0, delayPanel);
    UpDownDelayFeedback->setObjectName(QStringLiteral("UpDownDelayFeedback"));
    UpDownDelayFeedback->SetAssociate(EditDelayFeedback);
    UpDownDelayFeedback->setGeometry(right + 32, 78 + LabelHeight, 14, ControlHeight);
    BarDelayToMFX
        = NewBar(delayPanel, "BarDelayToMFX", 127, "Apply a delay on each MFX Part after the MFX");
    Place(BarDelayToMFX, delayPanel, "MFX to Delay", left, 111, placement.Width, 16);

    CBReverbSwitch = NewSwitch(reverbPanel, "CBReverbSwitch", "Check this box to set Reverb On/Off",
                               placement.ReverbSwitch);
    CBDelaySwitch = NewSwitch(delayPanel, "CBDelaySwitch", "Check this box to set Delay On/Off",
                              placement.DelaySwitch);
    CBMFXSwitch = NewSwitch(mfxPanel, "CBMFXSwitch", "Check this box to set MFX On/Off",
                            placement.MfxSwitch);

    FeedbackClamp = connect(EditDelayFeedback, &TEditBox::Change, this,
                            &TEffectsArea::EditDelayFeedbackChange);
}

void TEffectsArea::ConnectSendHandlers()
{
    if (SendConnected)
        return;
    SendConnected = true;
    connect(LBReverbType, &TDropDownList::UserChange, this, &TEffectsArea::ReverbChange);
    connect(LBReverbHF, &TDropDownList::UserChange, this, &TEffectsArea::ReverbChange);
    connect(BarReverbLevel, &QScrollBar::valueChanged, this, &TEffectsArea::ReverbChange);
    connect(BarReverbTime, &QScrollBar::valueChanged, this, &TEffectsArea::ReverbChange);
    // A send bar moved by hand goes out at once with its group.
    connect(BarReverbToMFX, &QScrollBar::valueChanged, this, &TEffectsArea::ReverbChange);

    connect(LBDelayType, &TDropDownList::UserChange, this, &TEffectsArea::DelayChange);
    connect(LBDelayHF, &TDropDownList::UserChange, this, &TEffectsArea::DelayChange);
    connect(BarDelayLevel, &QScrollBar::valueChanged, this, &TEffectsArea::DelayChange);
    connect(BarDelayTime, &QScrollBar::valueChanged, this, &TEffectsArea::DelayChange);
    connect(LBDelayOutput, &TDropDownList::UserChange, this, &TEffectsArea::DelayChange);
    connect(BarDelayToMFX, &QScrollBar::valueChanged, this, &TEffectsArea::DelayChange);
    disconnect(FeedbackClamp);
    connect(EditDelayFeedback, &TEditBox::Change, this, &TEffectsArea::DelayChange);

    // A click on a switch box sends that switch alone.
    connect(CBReverbSwitch, &QCheckBox::toggled, this,
            [this](bool on) { SwitchClick(sysex::mixer::TEffectSwitch::Reverb, on); });
    connect(CBDelaySwitch, &QCheckBox::toggled, this,
            [this](bool on) { SwitchClick(sysex::mixer::TEffectSwitch::Delay, on); });
    connect(CBMFXSwitch, &QCheckBox::toggled, this,
            [this](bool on) { SwitchClick(sysex::mixer::TEffectSwitch::Mfx, on); });
}

void TEffectsArea::DecodeCommon(const sysex::mixer::TCommonValues &values)
{
    LBReverbType->SetItemIndex(values.ReverbType);
    BarReverbLevel->setValue(values.ReverbLevel);
    BarReverbTime->setValue(values.ReverbTime);
    LBReverbHF->SetItemIndex(values.ReverbHfDamp);
    BarReverbToMFX->setValue(values.ReverbToMfx);
    LBDelayType->SetItemIndex(values.DelayType);
    BarDelayLevel->setValue(values.DelayLevel);
    BarDelayTime->setValue(values.DelayTime);
    LBDelayHF->SetItemIndex(values.DelayHfDamp);
    LBDelayOutput->SetItemIndex(values.DelayOutput);
    UpDownDelayFeedback->SetPosition(values.DelayFeedback);
    EditDelayFeedback->setText(QString::number(UpDownDelayFeedback->Position()));
    BarDelayToMFX->setValue(values.DelayToMfx);
    // The window shows the time it read, not the one of the user's last change.
    RefreshDelayTime();
}

void TEffectsArea::DecodeSwitches(const sysex::mixer::TSwitchValues &values)
{
    CBMFXSwitch->setChecked(values.Mfx);
    CBDelaySwitch->setChecked(values.Delay);
    CBReverbSwitch->setChecked(values.Reverb);
}

void TEffectsArea::ReverbChange()
{
    session::RunHandler([this] {
        if (Session.Decoding)
            return;
        sysex::mixer::TReverbSettings settings;
        settings.Type = LBReverbType->ItemIndex();
        settings.Level = BarReverbLevel->value();
        settings.Time = BarReverbTime->value();
        settings.HfDamp = LBReverbHF->ItemIndex();
        settings.ToMfx = BarReverbToMFX->value();
        SendAll(sysex::mixer::ReverbGroupMessages(Session.DataSetHeader, settings));
    });
}

void TEffectsArea::DelayChange()
{
    session::RunHandler([this] {
        ClampFeedback();
        // While the decoder fills the controls only the clamp runs.
        if (Session.Decoding)
            return;
        RefreshDelayTime();
        sysex::mixer::TDelaySettings settings;
        settings.Level = BarDelayLevel->value();
        settings.Type = LBDelayType->ItemIndex();
        settings.HfDamp = LBDelayHF->ItemIndex();
        settings.Time = BarDelayTime->value();
        settings.Feedback = UpDownDelayFeedback->Position();
        settings.Output = LBDelayOutput->ItemIndex();
        settings.ToMfx = BarDelayToMFX->value();
        SendAll(sysex::mixer::DelayGroupMessages(Session.DataSetHeader, settings));
    });
}

void TEffectsArea::EditDelayFeedbackChange()
{
    session::RunHandler([this] { ClampFeedback(); });
}

void TEffectsArea::SwitchClick(sysex::mixer::TEffectSwitch which, bool on)
{
    session::RunHandler([&] {
        if (Session.Decoding)
            return;
        Session.Output().SendSysExText(
            sysex::mixer::SwitchMessage(Session.DataSetHeader, which, on));
    });
}

void TEffectsArea::ClampFeedback()
{
    // A typed number is applied here, once: its edit counts as finished, so it does not run the
    // delay group again when the box loses the focus.
    EditDelayFeedback->TakePendingEdit();
    const int value = std::clamp(controls::TextToInt(EditDelayFeedback->text()), 0,
                                 sysex::mixer::FeedbackMaximum);
    const QString text = QString::number(value);
    session::ChangeControl([&] { EditDelayFeedback->setText(text); });
    UpDownDelayFeedback->SetPosition(value);
}

void TEffectsArea::RefreshDelayTime()
{
    EditDelayTime->setText(DelayTimeText(LBDelayType->ItemIndex(), BarDelayTime->value()));
}

void TEffectsArea::SendAll(const std::vector<std::string> &messages)
{
    for (const std::string &message : messages)
        Session.Output().SendSysExText(message);
}
