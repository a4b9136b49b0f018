#include "ToneColumn.h"

#include "controls/WaveDisplayText.h"

#include "controls/ControlWatch.h"
#include "controls/DropDownList.h"
#include "controls/EditBox.h"
#include "controls/EnvelopeImage.h"
#include "controls/RadioGroup.h"
#include "controls/ScrollBar.h"
#include "controls/TextToInt.h"
#include "controls/TrackBar.h"
#include "controls/UpDown.h"
#include "midi/SysExText.h"
#include "session/ErrorPolicy.h"
#include "sysex/Enveloppe.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSlider>
#include <string_view>
#include <utility>

using session::ChangeControl;
using session::RunHandler;
using sysex::TControlKind;
using sysex::ToneTable;
using sysex::TToneControl;
namespace ToneParam = sysex::ToneParam;

namespace {
QRect RectOf(const sysex::TPlace &place)
{
    return {place.Left, place.Top, place.Width, place.Height};
}

QStringList ItemsOf(const TToneControl &control)
{
    QStringList items;
    for (int i = 0; i < control.ItemCount; ++i)
        items << QString::fromLatin1(control.Items[i]);
    return items;
}
} // namespace

TToneColumn::TToneColumn(int tone, QWidget *parent)
    : QWidget(parent)
    , ToneNumber(tone)
{
    const sysex::TPlace &column = sysex::ColumnPlace;
    setGeometry(sysex::ColumnPitch * (tone - 1) + column.Left, column.Top, column.Width,
                column.Height);
    for (int row = 0; row < sysex::ToneControlCount; ++row)
        MakeControl(row);
    // As on Windows, where the column was drawn: frames lie under the captions and the captions
    // under the controls, and a caption hides the frame line it lies on.
    for (QLabel *label : findChildren<QLabel *>(Qt::FindDirectChildrenOnly))
        label->lower();
    for (int row = 0; row < sysex::ToneControlCount; ++row)
        if (ToneTable[row].Kind == TControlKind::Bevel)
            Controls[static_cast<std::size_t>(row)]->lower();
}

QString TToneColumn::Name(const char *stem) const
{
    return QStringLiteral("%1Tone%2").arg(QLatin1String(stem)).arg(ToneNumber);
}

template<class T>
T *TToneColumn::Control(const sysex::TToneParam &param) const
{
    return static_cast<T *>(
        Controls[static_cast<std::size_t>(sysex::ToneRowOfOffset(param.Offset))]);
}

QLabel *TToneColumn::MakeLabel(const sysex::TLabelRow &row)
{
    auto *label = new QLabel(QString::fromLatin1(row.Caption), this);
    label->setObjectName(Name(row.Stem));
    label->setAutoFillBackground(true);
    label->move(row.Place.Left, row.Place.Top);
    label->adjustSize();
    if (row.Place.Width > 0)
        label->resize(row.Place.Width, row.Place.Height);
    if (row.Hint)
        label->setToolTip(QString::fromLatin1(row.Hint));
    return label;
}

void TToneColumn::MakeControl(int row)
{
    const TToneControl &control = ToneTable[row];
    const sysex::TToneParam &param = control.Param;
    const QString hint = control.Hint ? QString::fromLatin1(control.Hint) : QString();
    if (control.Label.Stem && control.Label.MadeFirst)
        MakeLabel(control.Label);

    QWidget *widget = nullptr;
    switch (control.Kind) {
    case TControlKind::Bevel: {
        auto *bevel = new QFrame(this);
        bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
        bevel->setAttribute(Qt::WA_TransparentForMouseEvents);
        widget = bevel;
        break;
    }
    case TControlKind::CheckBox: {
        QString caption = QString::fromLatin1(control.Caption);
        if (caption.contains(QLatin1String("%1")))
            caption = caption.arg(ToneNumber);
        auto *box = new QCheckBox(caption, this);
        box->setAutoFillBackground(true);
        box->setChecked(control.Start != 0);
        connect(box, &QCheckBox::toggled, this,
                [this, row] { RunHandler([&] { CheckBoxClick(row); }); });
        widget = box;
        break;
    }
    case TControlKind::WaveList:
    case TControlKind::FilterList: {
        auto *list = new TDropDownList(this);
        if (control.Kind == TControlKind::WaveList) {
            list->setMaxVisibleItems(30);
            for (int wave = 0; wave < sysex::WaveRowCount; ++wave)
                list->addItem(WaveRowDisplayText(wave));
            connect(list, &TDropDownList::UserChange, this,
                    [this, row] { RunHandler([&] { WaveListChange(row); }); });
        } else {
            list->addItems(ItemsOf(control));
            connect(list, &TDropDownList::UserChange, this,
                    [this, row] { RunHandler([&] { FilterListChange(row); }); });
        }
        list->SetItemIndex(control.Start);
        widget = list;
        break;
    }
    case TControlKind::RadioGroup: {
        auto *group = new TRadioGroup(QString::fromLatin1(control.Caption), ItemsOf(control),
                                      control.Columns, this);
        group->setAutoFillBackground(true);
        connect(group, &TRadioGroup::Click, this,
                [this, row] { RunHandler([&] { RadioGroupClick(row); }); });
        widget = group;
        break;
    }
    case TControlKind::DepthEdit: {
        const sysex::TPlace &place = control.CompanionPlace;
        auto *updown = new TUpDown(param.ControlMin, param.ControlMax, control.Start, this);
        updown->setObjectName(Name(control.CompanionStem));
        updown->setGeometry(place.Left, place.Top,
                            ToneNumber == 4 ? sysex::LastToneUpDownWidth : place.Width,
                            place.Height);
        updown->setToolTip(hint);
        Companions[static_cast<std::size_t>(row)] = updown;
        auto *edit = new TEditBox(this);
        edit->setReadOnly(true);
        edit->setFrame(false);
        edit->setText(QString::number(control.Start));
        updown->SetAssociate(edit);
        // The arrows start from the number shown, however it came there.
        connect(edit, &TEditBox::Change, this, [this, row, edit, updown] {
            updown->SetPosition(controls::TextToInt(edit->text()));
            RunHandler([&] { DepthChange(row); });
        });
        widget = edit;
        break;
    }
    case TControlKind::ScrollBar: {
        auto *bar = new TScrollBar(Qt::Horizontal, this);
        bar->setRange(param.ControlMin, param.ControlMax);
        bar->setValue(control.Start);
        if (control.Step > 0) {
            bar->setSingleStep(control.Step);
            bar->setPageStep(control.Step);
        }
        connect(bar, &QScrollBar::valueChanged, this,
                [this, row] { RunHandler([&] { ScrollBarChange(row); }); });
        widget = bar;
        break;
    }
    case TControlKind::TrackBar: {
        auto *bar = new TTrackBar(Qt::Vertical, this);
        bar->setRange(param.ControlMin, param.ControlMax);
        bar->setValue(control.Start);
        // Minimum at the top, as the instrument's own sliders read.
        bar->setInvertedAppearance(true);
        bar->setInvertedControls(true);
        bar->setTickPosition(QSlider::TicksRight);
        bar->setTickInterval(10);
        connect(bar, &QSlider::valueChanged, this,
                [this, row] { RunHandler([&] { TrackBarChange(row); }); });
        widget = bar;
        break;
    }
    case TControlKind::EnvelopeImage:
        // Made by AttachEnvelopes, once the envelope objects exist.
        break;
    }
    if (widget) {
        widget->setObjectName(Name(control.Stem));
        widget->setGeometry(RectOf(control.Place));
        if (!hint.isEmpty())
            widget->setToolTip(hint);
        Controls[static_cast<std::size_t>(row)] = widget;
    }
    if (control.Label.Stem && !control.Label.MadeFirst)
        MakeLabel(control.Label);
}

void TToneColumn::AttachEnvelopes(sysex::TEnveloppe &amp, sysex::TEnveloppe &pitch,
                                  sysex::TEnveloppe &filter)
{
    const auto sender = [this](int offset, int value) { SendValue(offset, value); };
    sysex::TEnveloppe *const envelopes[] = {&amp, &pitch, &filter};
    std::size_t made = 0;
    for (int row = 0; row < sysex::ToneControlCount && made < Images.size(); ++row) {
        const TToneControl &control = ToneTable[row];
        if (control.Kind != TControlKind::EnvelopeImage)
            continue;
        auto *image = new TEnvelopeImage(*envelopes[made], *control.Envelope, sender, this);
        image->setObjectName(Name(control.Stem));
        image->move(control.Place.Left, control.Place.Top);
        image->show();
        Controls[static_cast<std::size_t>(row)] = image;
        Images[made++] = image;
    }
}

// Handlers: display work first, then the sends, one complete message after the other.

void TToneColumn::SendValue(int offset, int value)
{
    // A data byte of 80h or more would be a status byte in the middle of the message.
    if (value < 0 || value > 0x7F)
        return;
    emit ParameterChange(offset, midi::HexByte(value));
}

void TToneColumn::CheckBoxClick(int row)
{
    const sysex::TToneParam &param = ToneTable[row].Param;
    const bool ticked
        = static_cast<QCheckBox *>(Controls[static_cast<std::size_t>(row)])->isChecked();
    if (param.Offset == ToneParam::FxmSwitch.Offset) {
        Control<QWidget>(ToneParam::FxmColour)->setEnabled(ticked);
        Companions[static_cast<std::size_t>(sysex::ToneRowOfOffset(ToneParam::FxmDepth.Offset))]
            ->setEnabled(ticked);
        Control<QWidget>(ToneParam::FxmDepth)->setEnabled(ticked);
    } else if (param.Offset == ToneParam::RandomPan.Offset) {
        Control<QWidget>(ToneParam::Pan)->setEnabled(!ticked);
    }
    SendValue(param.Offset, param.ToByte(ticked ? 1 : 0));
}

void TToneColumn::RadioGroupClick(int row)
{
    const sysex::TToneParam &param = ToneTable[row].Param;
    const int index
        = static_cast<TRadioGroup *>(Controls[static_cast<std::size_t>(row)])->ItemIndex();
    if (index >= 0)
        SendValue(param.Offset, param.ToByte(index));
}

void TToneColumn::ScrollBarChange(int row)
{
    auto *bar = static_cast<QScrollBar *>(Controls[static_cast<std::size_t>(row)]);
    // A bar that gets a new position is enabled, even one that random pan had disabled.
    bar->setEnabled(true);
    bar->setToolTip(QString::number(bar->value()));
    SendValue(ToneTable[row].Param.Offset, ToneTable[row].Param.ToByte(bar->value()));
}

void TToneColumn::TrackBarChange(int row)
{
    const auto *bar = static_cast<QSlider *>(Controls[static_cast<std::size_t>(row)]);
    SendValue(ToneTable[row].Param.Offset, ToneTable[row].Param.ToByte(bar->value()));
}

void TToneColumn::WaveListChange(int row)
{
    const int wave
        = static_cast<TDropDownList *>(Controls[static_cast<std::size_t>(row)])->ItemIndex();
    if (wave < 0)
        return;
    const sysex::TWaveBytes bytes = sysex::WaveBytesFromRow(wave);
    emit ParameterChange(sysex::WaveGroupOffset, midi::HexByte(bytes.Group));
    emit ParameterChange(sysex::WaveNumberOffset,
                         midi::HexByte(bytes.High) + " " + midi::HexByte(bytes.Low));
}

void TToneColumn::FilterListChange(int row)
{
    const sysex::TToneParam &param = ToneTable[row].Param;
    const int index
        = static_cast<TDropDownList *>(Controls[static_cast<std::size_t>(row)])->ItemIndex();
    if (index < 0)
        return;
    Control<QWidget>(ToneParam::Cutoff)->setEnabled(index > 0);
    Control<QWidget>(ToneParam::Resonance)->setEnabled(index > 0);
    SendValue(param.Offset, param.ToByte(index));
}

void TToneColumn::DepthChange(int row)
{
    const sysex::TToneParam &param = ToneTable[row].Param;
    const auto *edit = static_cast<TEditBox *>(Controls[static_cast<std::size_t>(row)]);
    SendValue(param.Offset, param.ToByte(controls::TextToInt(edit->text())));
}

// Showing a received block

void TToneColumn::Show(const std::vector<sysex::patch::TToneValue> &values)
{
    const QScopedValueRollback showing(Showing, true);
    for (const sysex::patch::TToneValue &value : values)
        ShowValue(value);
    if (!values.empty())
        for (TEnvelopeImage *image : Images)
            if (image)
                image->Repaint(false);
}

void TToneColumn::ShowValue(const sysex::patch::TToneValue &value)
{
    for (int offset : HeldOffsets)
        if (sysex::ToneRowOfOffset(offset) == value.Row)
            return;
    QWidget *widget = Controls[static_cast<std::size_t>(value.Row)];
    const int v = value.Value;
    switch (ToneTable[value.Row].Kind) {
    case TControlKind::Bevel:
        break;
    case TControlKind::CheckBox:
        ChangeControl([&] { static_cast<QCheckBox *>(widget)->setChecked(v != 0); });
        break;
    case TControlKind::WaveList:
    case TControlKind::FilterList:
        // Setting a list's row runs no handler.
        static_cast<TDropDownList *>(widget)->SetItemIndex(v);
        break;
    case TControlKind::RadioGroup:
        ChangeControl([&] { static_cast<TRadioGroup *>(widget)->SetItemIndex(v); });
        break;
    case TControlKind::DepthEdit:
        ChangeControl([&] {
            static_cast<TEditBox *>(widget)->setText(QString::number(v));
            static_cast<TUpDown *>(Companions[static_cast<std::size_t>(value.Row)])->SetPosition(v);
        });
        break;
    case TControlKind::ScrollBar:
    case TControlKind::TrackBar:
        ChangeControl([&] { static_cast<QAbstractSlider *>(widget)->setValue(v); });
        break;
    case TControlKind::EnvelopeImage:
        if (widget)
            static_cast<TEnvelopeImage *>(widget)->Envelope().SetValues(value.Levels, value.Times);
        break;
    }
}

// Steps

int TToneColumn::ValueOf(int row) const
{
    return TControlWatch::ValueOf(Controls[static_cast<std::size_t>(row)]);
}

QString TToneColumn::StepName(int row) const
{
    // Rows whose caption is missing, or shared with other rows, or the tone's own name.
    static constexpr std::pair<const char *, const char *> Named[] = {
        {"CBSwitch", "Switch"},
        {"LBWave", "Wave"},
        {"RadioGroupFxm", "Fxm"},
        {"CBFxmSwitch", "Fxm Switch"},
        {"EditFxmDepth", "Fxm Depth"},
        {"BarVeloSensAmp", "Amplitude Velocity Sensibility"},
        {"BarVeloSensPitch", "Pitch Velocity Sensibility"},
        {"BarVeloSensFilter", "Filter Velocity Sensibility"},
        {"BarPitchEnvDepth", "Pitch Env Depth"},
        {"BarFilterEnvDepth", "Filter Env Depth"},
    };
    const TToneControl &control = ToneTable[row];
    QString name;
    for (const auto &[stem, caption] : Named)
        if (std::string_view(stem) == control.Stem)
            name = QString::fromLatin1(caption);
    if (name.isEmpty())
        name = QString::fromLatin1(control.Label.Caption ? control.Label.Caption
                                       : control.Caption ? control.Caption
                                                         : control.Stem)
                   .trimmed();
    return QStringLiteral("%1 Tone %2").arg(name).arg(ToneNumber);
}
