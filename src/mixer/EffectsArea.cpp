#include "EffectsArea.h"

#include "DelayTimeText.h"

#include "controls/DropDownList.h"
#include "controls/EditBox.h"
#include "controls/ScrollBar.h"
#include "controls/SetNew.h"
#include "controls/TextToInt.h"
#include "controls/UpDown.h"
#include "session/ErrorPolicy.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include <algorithm>
#include <span>

namespace {
using sysex::mixer::TFieldId;

constexpr int LabelHeight = 13;
constexpr int ControlHeight = 18;
constexpr int BarHeight = 16;
constexpr int ListWidth = 74;
constexpr int TimeTextWidth = 34;

// Where each setting goes: its caption above it, in the left column (the lists), the right one
// (bars and the feedback box) or across both.
enum class TColumn { Left, Right, Across };
struct TSettingPlace
{
    TFieldId Field;
    const char *Caption;
    const char *Hint;
    TColumn Column;
    int Top;
};
// In the order the controls are made, which is also their focus order.
constexpr TSettingPlace ReverbPlaces[] = {
    {TFieldId::ReverbType, "Type", "Select the Reverb type", TColumn::Left, 18},
    {TFieldId::ReverbLevel, "Level", "Output level of the Reverb", TColumn::Right, 18},
    {TFieldId::ReverbHfDamp, "HF Damp", "All the frequencies above will be cut from the reverb",
     TColumn::Left, 54},
    {TFieldId::ReverbTime, "Time", "Time of the Reverb release", TColumn::Right, 54},
    {TFieldId::ReverbToMfx, "MFX to Revb", "Apply a reverb on each MFX Part after the MFX",
     TColumn::Across, 106},
};
constexpr TSettingPlace DelayPlaces[] = {
    {TFieldId::DelayType, "Type", "Select the Delay type", TColumn::Left, 16},
    {TFieldId::DelayLevel, "Level", "Output level of the Delay", TColumn::Right, 16},
    {TFieldId::DelayHfDamp, "HF Damp", "All the frequencies above will be cut from the delay",
     TColumn::Left, 47},
    {TFieldId::DelayTime, "Time", "Time between 2 repetitions", TColumn::Right, 47},
    {TFieldId::DelayOutput, "Output", "Select the output destination", TColumn::Left, 78},
    {TFieldId::DelayFeedback, "Feedbck (%)", "Amount of originial sound to repeat", TColumn::Right,
     78},
    {TFieldId::DelayToMfx, "MFX to Delay", "Apply a delay on each MFX Part after the MFX",
     TColumn::Across, 111},
};

QString Latin(const char *text)
{
    return QString::fromLatin1(text);
}
} // namespace

TEffectsArea::TEffectsArea(sysex::mixer::TSending group, const TMixerSession &session,
                           QWidget *panel, int left, int width)
    : QWidget(panel)
    , Session(session)
    , GroupFields(sysex::mixer::GroupFields(group))
{
    setGeometry(left, 0, width, panel->height());
    const int right = left + ListWidth + 8; // the bars' column
    const int barWidth = left + width - right;
    const bool reverb = group == sysex::mixer::TSending::ReverbGroup;
    const std::span<const TSettingPlace> places = reverb
        ? std::span<const TSettingPlace>(ReverbPlaces)
        : std::span<const TSettingPlace>(DelayPlaces);
    for (const TSettingPlace &place : places) {
        const int at = place.Column == TColumn::Right ? right : left;
        const int span = place.Column == TColumn::Left ? ListWidth
            : place.Column == TColumn::Right           ? barWidth
                                                       : width;
        AddControl(place.Field, place.Caption, place.Hint, at, place.Top, span);
    }
    if (EditDelayFeedback)
        FeedbackClamp
            = connect(EditDelayFeedback, &TEditBox::Change, this, &TEffectsArea::SettingChange);
}

void TEffectsArea::AddControl(TFieldId field, const char *caption, const char *hint, int left,
                              int top, int width)
{
    const sysex::mixer::TField &info = sysex::mixer::Field(field);
    // Given in the panel's coordinates. Each control is made before its caption.
    const auto place = [this](QWidget *control, int x, int y, int w, int h) {
        control->setGeometry(QRect(QPoint(x, y) - pos(), QSize(w, h)));
    };
    const auto label = [&](int captionWidth) {
        place(new QLabel(Latin(caption), this), left, top, captionWidth, LabelHeight);
    };
    QWidget *control = nullptr;
    if (!info.Items.empty()) {
        auto *list = new TDropDownList(this);
        for (const char *item : info.Items)
            list->addItem(Latin(item));
        list->SetItemIndex(-1);
        place(list, left, top + LabelHeight, width, ControlHeight);
        label(width);
        control = list;
    } else if (field == TFieldId::DelayFeedback) {
        EditDelayFeedback = new TEditBox(this);
        EditDelayFeedback->setMaxLength(3);
        EditDelayFeedback->setText(QStringLiteral("0"));
        place(EditDelayFeedback, left, top + LabelHeight, 32, ControlHeight);
        label(80);
        UpDownDelayFeedback = new TUpDown(0, info.StoredMax, 0, this);
        UpDownDelayFeedback->setObjectName(QStringLiteral("UpDownDelayFeedback"));
        UpDownDelayFeedback->SetAssociate(EditDelayFeedback);
        place(UpDownDelayFeedback, left + 32, top + LabelHeight, 14, ControlHeight);
        control = EditDelayFeedback;
    } else {
        auto *bar = new TScrollBar(Qt::Horizontal, this);
        bar->setRange(0, info.StoredMax);
        bar->setValue(0);
        // The delay time leaves room for its text on the right.
        const int barWidth = field == TFieldId::DelayTime ? width - TimeTextWidth - 2 : width;
        place(bar, left, top + LabelHeight, barWidth, BarHeight);
        label(barWidth);
        control = bar;
        if (field == TFieldId::DelayTime) {
            EditDelayTime = new QLineEdit(this);
            EditDelayTime->setObjectName(QStringLiteral("EditDelayTime"));
            EditDelayTime->setReadOnly(true);
            EditDelayTime->setFrame(false);
            EditDelayTime->setFocusPolicy(Qt::NoFocus);
            EditDelayTime->setAlignment(Qt::AlignRight);
            place(EditDelayTime, left + width - TimeTextWidth, top + LabelHeight, TimeTextWidth,
                  BarHeight);
        }
    }
    control->setObjectName(Latin(info.ObjectName));
    control->setToolTip(Latin(hint));
    Controls[static_cast<std::size_t>(field)] = control;
}

void TEffectsArea::ConnectSendHandlers()
{
    if (SendConnected)
        return;
    SendConnected = true;
    for (TFieldId field : GroupFields) {
        QWidget *control = Controls[static_cast<std::size_t>(field)];
        if (auto *list = qobject_cast<TDropDownList *>(control))
            connect(list, &TDropDownList::UserChange, this, &TEffectsArea::SettingChange);
        // A send bar moved by hand goes out at once with its group.
        else if (auto *bar = qobject_cast<QScrollBar *>(control))
            connect(bar, &QScrollBar::valueChanged, this, &TEffectsArea::SettingChange);
    }
    if (EditDelayFeedback) {
        // The same handler, run once per change: it now reports the group too.
        disconnect(FeedbackClamp);
        connect(EditDelayFeedback, &TEditBox::Change, this, &TEffectsArea::SettingChange);
    }
}

int TEffectsArea::Value(TFieldId field) const
{
    QWidget *control = Controls[static_cast<std::size_t>(field)];
    if (auto *list = qobject_cast<TDropDownList *>(control))
        return list->ItemIndex();
    if (auto *bar = qobject_cast<QScrollBar *>(control))
        return bar->value();
    return UpDownDelayFeedback->Position();
}

void TEffectsArea::SetValue(TFieldId field, int value)
{
    QWidget *control = Controls[static_cast<std::size_t>(field)];
    if (auto *list = qobject_cast<TDropDownList *>(control)) {
        list->SetItemIndex(value);
    } else if (auto *bar = qobject_cast<QScrollBar *>(control)) {
        bar->setValue(value);
    } else {
        UpDownDelayFeedback->SetPosition(value);
        SetNewText(*EditDelayFeedback, QString::number(UpDownDelayFeedback->Position()));
    }
}

void TEffectsArea::Decode(const sysex::mixer::TValues &values)
{
    for (TFieldId field : GroupFields)
        SetValue(field, sysex::mixer::At(values, field));
    // The window shows the time it read, not the one of the user's last change.
    RefreshDelayTime();
}

void TEffectsArea::SettingChange()
{
    session::RunHandler([this] {
        ClampFeedback();
        // While the decoder fills the controls, or before the first opening, only the clamp runs.
        if (Session.Decoding || !SendConnected)
            return;
        RefreshDelayTime();
        std::vector<int> values;
        for (TFieldId field : GroupFields)
            values.push_back(Value(field));
        emit Change(values);
    });
}

void TEffectsArea::ClampFeedback()
{
    if (!EditDelayFeedback)
        return;
    // A typed number is applied here, once: its edit counts as finished, so it does not run the
    // delay group again when the box loses the focus.
    EditDelayFeedback->TakePendingEdit();
    const int value
        = std::clamp(controls::TextToInt(EditDelayFeedback->text()), 0, UpDownDelayFeedback->Max());
    const QString text = QString::number(value);
    session::ChangeControl([&] { EditDelayFeedback->setText(text); });
    UpDownDelayFeedback->SetPosition(value);
}

void TEffectsArea::RefreshDelayTime()
{
    if (EditDelayTime)
        SetNewText(*EditDelayTime,
                   DelayTimeText(Value(TFieldId::DelayType), Value(TFieldId::DelayTime)));
}
