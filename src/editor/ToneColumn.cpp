#include "ToneColumn.h"

#include "EnvelopeImage.h"
#include "controls/DropDownList.h"
#include "controls/EditBox.h"
#include "controls/RadioGroup.h"
#include "controls/ScrollBar.h"
#include "controls/UpDown.h"
#include "midi/SysExText.h"
#include "protocol/Enveloppe.h"
#include "protocol/Handlers.h"
#include "protocol/TextToInt.h"
#include "protocol/WaveList.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QScrollBar>
#include <QSlider>
#include <algorithm>

using protocol::ChangeControl;
using protocol::RunHandler;
using protocol::TToneParam;
namespace ToneParam = protocol::ToneParam;

namespace {
// Tone n's controls lie this many pixels right of tone n - 1's.
constexpr int ColumnPitch = 254;

const QString VelocityHint
    = QStringLiteral("Negative value will decrease the volume while the velocity increase.");
const QString EnvDepthHint
    = QStringLiteral("More the absolute value is high more the the envelope modify the sound. "
                     "A negative value invert the envelope");
const QString FxmDepthHint = QStringLiteral("More the Depth is high, more the Fxm modify the wave");
} // namespace

TToneColumn::TToneColumn(int tone, QWidget *container, TSender send)
    : QObject(container)
    , ToneNumber(tone)
    , Left(ColumnPitch * (tone - 1))
    , Container(container)
    , Send(std::move(send))
{
    BevelTone = new QFrame(Container);
    BevelTone->setObjectName(QStringLiteral("BevelTone%1").arg(tone));
    BevelTone->setFrameStyle(QFrame::Box | QFrame::Sunken);
    BevelTone->setGeometry(Left + 1, 44, 249, 637);
    BevelTone->setAttribute(Qt::WA_TransparentForMouseEvents);

    CBSwitch = MakeCheckBox("CBSwitch", ToneParam::Switch, QStringLiteral("TONE %1").arg(tone),
                            {4, 36, 65, 13});
    CBSwitch->setToolTip(QStringLiteral("Switch the Tone ON/OFF"));

    LBWave = new TDropDownList(Container);
    LBWave->setObjectName(Name("LBWave"));
    LBWave->setGeometry(QRect(At(4, 52), QSize(121, 21)));
    LBWave->setMaxVisibleItems(30);
    for (int row = 0; row < protocol::WaveRowCount; ++row)
        LBWave->addItem(editor::WaveRowDisplayText(row));
    LBWave->SetItemIndex(-1);
    LBWave->setToolTip(QStringLiteral("Select a wave form for the tone"));
    connect(LBWave, &TDropDownList::UserChange, this,
            [this] { RunHandler([this] { WaveListChange(); }); });

    RadioGroupGain
        = new TRadioGroup(QStringLiteral("Gain"), {"-6", " 0", "+6", "+12"}, 1, Container);
    RadioGroupGain->setObjectName(Name("RadioGroupGain"));
    RadioGroupGain->setGeometry(QRect(At(4, 72), QSize(49, 73)));
    RadioGroupGain->setToolTip(QStringLiteral("This is the gain of the wave form"));
    connect(RadioGroupGain, &TRadioGroup::Click, this,
            [this] { RunHandler([this] { RadioGroupClick(ToneParam::Gain, RadioGroupGain); }); });

    BevelFxm = new QFrame(Container);
    BevelFxm->setObjectName(Name("BevelFxm"));
    BevelFxm->setFrameStyle(QFrame::Box | QFrame::Sunken);
    BevelFxm->setGeometry(QRect(At(56, 76), QSize(69, 61)));
    BevelFxm->setAttribute(Qt::WA_TransparentForMouseEvents);

    RadioGroupFxm = new TRadioGroup(QStringLiteral("   Fxm"), {"1", "2", "3", "4"}, 2, Container);
    RadioGroupFxm->setObjectName(Name("RadioGroupFxm"));
    RadioGroupFxm->setGeometry(QRect(At(56, 72), QSize(69, 45)));
    RadioGroupFxm->setToolTip(
        QStringLiteral("With a Fxm of 4, the wave is raw. A Fxm of 1 make a metallic wave form."));
    connect(RadioGroupFxm, &TRadioGroup::Click, this, [this] {
        RunHandler([this] { RadioGroupClick(ToneParam::FxmColour, RadioGroupFxm); });
    });

    // Lies on the blanks of the group's caption.
    CBFxmSwitch = MakeCheckBox("CBFxmSwitch", ToneParam::FxmSwitch, QString(), {56, 72, 13, 13});
    CBFxmSwitch->setToolTip(QStringLiteral("Switch the Fxm modulation ON/OFF"));

    QLabel *depth = MakeLabel("LabelFxmDepth", QStringLiteral("Depth"), 56, 116);
    depth->resize(29, 17);
    depth->setToolTip(FxmDepthHint);

    UpDownFxmDepth
        = new TUpDown(ToneParam::FxmDepth.ControlMin, ToneParam::FxmDepth.ControlMax, 1, Container);
    UpDownFxmDepth->setObjectName(Name("UpDownFxmDepth"));
    UpDownFxmDepth->setGeometry(QRect(At(87, 116), QSize(tone == 4 ? 13 : 15, 19)));
    UpDownFxmDepth->setToolTip(FxmDepthHint);

    EditFxmDepth = new TEditBox(Container);
    EditFxmDepth->setObjectName(Name("EditFxmDepth"));
    EditFxmDepth->setGeometry(QRect(At(102, 116), QSize(19, 19)));
    EditFxmDepth->setReadOnly(true);
    EditFxmDepth->setFrame(false);
    EditFxmDepth->setText(QStringLiteral("1"));
    EditFxmDepth->setToolTip(FxmDepthHint);
    UpDownFxmDepth->SetAssociate(EditFxmDepth);
    connect(EditFxmDepth, &TEditBox::Change, this,
            [this] { RunHandler([this] { FxmDepthChange(); }); });

    BarLevel = MakeScrollBar("BarLevel", ToneParam::Level, "Set the volume of the tone",
                             {124, 57, 125, 9});
    MakeLabel("LabelLevel", QStringLiteral("Level"), 128, 45);
    BarPan = MakeScrollBar("BarPan", ToneParam::Pan, "Set the pan of the tone", {124, 81, 125, 9});
    MakeLabel("LabelPan", QStringLiteral("Pan"), 128, 69);
    CBRandomPan = MakeCheckBox("CBRandomPan", ToneParam::RandomPan, QStringLiteral("Random pan"),
                               {156, 68, 81, 12});
    BarAlternatePan
        = MakeScrollBar("BarAlternatePan", ToneParam::AlternatePan,
                        "Pan will go from left to right, or right to left", {124, 105, 125, 9});
    MakeLabel("LabelAlternatePan", QStringLiteral("Alternate pan"), 128, 92);
    BarTune = MakeScrollBar("BarTune", ToneParam::CoarseTune, "Set the tune by semi-tone",
                            {124, 128, 125, 9});
    MakeLabel("LabelTune", QStringLiteral("Tune"), 128, 116);
    BarFineTune
        = MakeScrollBar("BarFineTune", ToneParam::FineTune, "Detune the tone", {124, 152, 125, 9});
    MakeLabel("LabelFineTune", QStringLiteral("Fine Tune"), 128, 140);

    LBFilter = new TDropDownList(Container);
    LBFilter->setObjectName(Name("LBFilter"));
    LBFilter->setGeometry(QRect(At(124, 176), QSize(77, 21)));
    LBFilter->addItems({"Off", "Low Pass", "Band Pass", "High Pass", "Peaking"});
    LBFilter->SetItemIndex(-1);
    LBFilter->setToolTip(QStringLiteral("Select a Filter type"));
    connect(LBFilter, &TDropDownList::UserChange, this,
            [this] { RunHandler([this] { FilterListChange(); }); });
    MakeLabel("LabelFilter", QStringLiteral("Filter"), 128, 164);

    BarCutOff = MakeTrackBar("BarCutOff", ToneParam::Cutoff, "Set the filter Cut Off",
                             {204, 172, 17, 125});
    MakeLabel("LabelCutoff", QStringLiteral("Cutoff"), 193, 164)->resize(31, 13);
    BarReso = MakeTrackBar("BarReso", ToneParam::Resonance, "Set the filter resonance",
                           {228, 172, 17, 125});
    MakeLabel("LabelReso", QStringLiteral("Res"), 228, 164)->resize(21, 13);

    MakeLabel("LabelAmpEnv", QStringLiteral("Amplitude Env"), 0, 292);
    BarVeloSensAmp
        = MakeScrollBar("BarVeloSensAmp", ToneParam::AmpVeloSens, VelocityHint, {108, 364, 141, 9});
    MakeLabel("LabelVeloSensAmp", QStringLiteral("Velocity Sensibility"), 16, 362);

    MakeLabel("LabelPitchEnv", QStringLiteral("Pitch Env"), 0, 429);
    BarPitchEnvDepth = MakeScrollBar("BarPitchEnvDepth", ToneParam::PitchEnvDepth, EnvDepthHint,
                                     {124, 433, 125, 9});
    BarVeloSensPitch = MakeScrollBar("BarVeloSensPitch", ToneParam::PitchVeloSens, VelocityHint,
                                     {108, 502, 141, 9});
    MakeLabel("LabelVeloSensPitch", QStringLiteral("Velocity Sensibility"), 16, 499);

    MakeLabel("LabelFilterEnv", QStringLiteral("Filter Env"), 0, 558);
    BarFilterEnvDepth = MakeScrollBar("BarFilterEnvDepth", ToneParam::FilterEnvDepth, EnvDepthHint,
                                      {124, 562, 125, 9});
    BarVeloSensFilter = MakeScrollBar("BarVeloSensFilter", ToneParam::FilterVeloSens, VelocityHint,
                                      {108, 631, 141, 9});
    MakeLabel("LabelVeloSensFilter", QStringLiteral("Velocity Sensibility"), 16, 628);

    for (QScrollBar *velocity : {BarVeloSensAmp, BarVeloSensPitch, BarVeloSensFilter}) {
        velocity->setSingleStep(2);
        velocity->setPageStep(2);
    }
    BevelTone->lower();
}

QString TToneColumn::Name(const char *stem) const
{
    return QStringLiteral("%1Tone%2").arg(QLatin1String(stem)).arg(ToneNumber);
}

QPoint TToneColumn::At(int left, int top) const
{
    return {Left + left, top};
}

QLabel *TToneColumn::MakeLabel(const char *stem, const QString &caption, int left, int top)
{
    auto *label = new QLabel(caption, Container);
    label->setObjectName(Name(stem));
    label->move(At(left, top));
    label->adjustSize();
    return label;
}

QScrollBar *TToneColumn::MakeScrollBar(const char *stem, const TToneParam &param,
                                       const QString &hint, QRect place)
{
    auto *bar = new TScrollBar(Qt::Horizontal, Container);
    bar->setObjectName(Name(stem));
    bar->setGeometry(QRect(At(place.left(), place.top()), place.size()));
    bar->setRange(param.ControlMin, param.ControlMax);
    bar->setValue(0);
    bar->setToolTip(hint);
    connect(bar, &QScrollBar::valueChanged, this,
            [this, &param, bar] { RunHandler([&] { ScrollBarChange(param, bar); }); });
    return bar;
}

QSlider *TToneColumn::MakeTrackBar(const char *stem, const TToneParam &param, const QString &hint,
                                   QRect place)
{
    auto *bar = new QSlider(Qt::Vertical, Container);
    bar->setObjectName(Name(stem));
    bar->setGeometry(QRect(At(place.left(), place.top()), place.size()));
    bar->setRange(param.ControlMin, param.ControlMax);
    bar->setValue(param.ControlMax);
    // Minimum at the top, as the instrument's own sliders read.
    bar->setInvertedAppearance(true);
    bar->setInvertedControls(true);
    bar->setTickPosition(QSlider::TicksRight);
    bar->setTickInterval(10);
    bar->setToolTip(hint);
    connect(bar, &QSlider::valueChanged, this,
            [this, &param, bar] { RunHandler([&] { TrackBarChange(param, bar); }); });
    return bar;
}

QCheckBox *TToneColumn::MakeCheckBox(const char *stem, const TToneParam &param,
                                     const QString &caption, QRect place)
{
    auto *box = new QCheckBox(caption, Container);
    box->setObjectName(Name(stem));
    box->setGeometry(QRect(At(place.left(), place.top()), place.size()));
    connect(box, &QCheckBox::toggled, this,
            [this, &param, box] { RunHandler([&] { CheckBoxClick(param, box); }); });
    return box;
}

void TToneColumn::AttachEnvelopes(TEnveloppe &amp, TEnveloppe &pitch, TEnveloppe &filter)
{
    const auto sender = [this](int offset, int value) { SendValue(offset, value); };
    const struct
    {
        TEnveloppe &Envelope;
        const protocol::TEnvelopeParams &Params;
        const char *Stem;
        int Top;
    } images[] = {{amp, protocol::AmpEnvelope, "ImageEnvAmp", 305},
                  {pitch, protocol::PitchEnvelope, "ImageEnvPitch", 443},
                  {filter, protocol::FilterEnvelope, "ImageEnvFilter", 572}};
    for (std::size_t i = 0; i < Images.size(); ++i) {
        auto *image = new TEnvelopeImage(images[i].Envelope, images[i].Params, sender, Container);
        image->setObjectName(Name(images[i].Stem));
        image->move(At(0, images[i].Top));
        image->show();
        Images[i] = image;
    }
}

// Handlers: display work first, then the sends, one complete message after the other.

void TToneColumn::SendValue(int offset, int value)
{
    // A data byte of 80h or more would be a status byte in the middle of the message.
    if (value < 0 || value > 0x7F)
        return;
    Send(offset, midi::HexByte(value));
}

void TToneColumn::CheckBoxClick(const TToneParam &param, QCheckBox *box)
{
    const bool ticked = box->isChecked();
    if (box == CBFxmSwitch) {
        RadioGroupFxm->setEnabled(ticked);
        UpDownFxmDepth->setEnabled(ticked);
        EditFxmDepth->setEnabled(ticked);
    } else if (box == CBRandomPan) {
        BarPan->setEnabled(!ticked);
    }
    SendValue(param.Offset, param.ToByte(ticked ? 1 : 0));
}

void TToneColumn::RadioGroupClick(const TToneParam &param, TRadioGroup *group)
{
    if (group->ItemIndex() >= 0)
        SendValue(param.Offset, param.ToByte(group->ItemIndex()));
}

void TToneColumn::ScrollBarChange(const TToneParam &param, QScrollBar *bar)
{
    // A bar that gets a new position is enabled, even one that random pan had disabled.
    bar->setEnabled(true);
    bar->setToolTip(QString::number(bar->value()));
    SendValue(param.Offset, param.ToByte(bar->value()));
}

void TToneColumn::TrackBarChange(const TToneParam &param, QSlider *bar)
{
    SendValue(param.Offset, param.ToByte(bar->value()));
}

void TToneColumn::WaveListChange()
{
    const int row = LBWave->ItemIndex();
    if (row < 0)
        return;
    const protocol::TWaveBytes wave = protocol::WaveBytesFromRow(row);
    Send(protocol::WaveGroupOffset, midi::HexByte(wave.Group));
    Send(protocol::WaveNumberOffset, midi::HexByte(wave.High) + " " + midi::HexByte(wave.Low));
}

void TToneColumn::FilterListChange()
{
    const int index = LBFilter->ItemIndex();
    if (index < 0)
        return;
    BarCutOff->setEnabled(index > 0);
    BarReso->setEnabled(index > 0);
    SendValue(ToneParam::FilterType.Offset, ToneParam::FilterType.ToByte(index));
}

void TToneColumn::FxmDepthChange()
{
    SendValue(ToneParam::FxmDepth.Offset,
              ToneParam::FxmDepth.ToByte(protocol::TextToInt(EditFxmDepth->text())));
}

// Decoding

bool TToneColumn::Decode(const protocol::TMessageView &message)
{
    bool applied = false;
    // Every value is brought into its control's range before the control takes it: whatever
    // a control shows, its handler echoes, and that must be a data byte.
    const auto step = [&](const TToneParam &param, const auto &apply) {
        if (const auto byte = message.AtOffset(param.Offset)) {
            applied = true;
            const int value
                = std::clamp(param.ToControl(*byte), param.ControlMin, param.ControlMax);
            ChangeControl([&] { apply(value); });
        }
    };
    const auto setBar
        = [](QAbstractSlider *bar) { return [bar](int position) { bar->setValue(position); }; };
    const auto setBox
        = [](QCheckBox *box) { return [box](int ticked) { box->setChecked(ticked); }; };
    const auto setEnvelope = [&](TEnvelopeImage *image, const protocol::TEnvelopeParams &params) {
        std::array<int, 4> levels {};
        std::array<int, 4> times {};
        for (int i = 0; i < 4; ++i) {
            const auto time = message.AtOffset(params.TimeOffsets[static_cast<std::size_t>(i)]);
            const auto level = i < params.LevelCount
                ? message.AtOffset(params.LevelOffsets[static_cast<std::size_t>(i)])
                : std::optional<std::uint8_t>(0);
            if (!time || !level)
                return;
            times[static_cast<std::size_t>(i)] = std::min<int>(*time, 0x7F);
            levels[static_cast<std::size_t>(i)] = std::min<int>(*level, 0x7F);
        }
        applied = true;
        if (image)
            image->Envelope().SetValues(levels, times);
    };

    step(ToneParam::Switch, setBox(CBSwitch));
    if (message.HasOffsets(protocol::WaveGroupOffset, 3)) {
        applied = true;
        LBWave->SetItemIndex(protocol::WaveRowFromBytes(*message.AtOffset(2), *message.AtOffset(3),
                                                        *message.AtOffset(4)));
    }
    step(ToneParam::Gain, [this](int index) { RadioGroupGain->SetItemIndex(index); });
    step(ToneParam::FxmSwitch, setBox(CBFxmSwitch));
    step(ToneParam::FxmColour, [this](int index) { RadioGroupFxm->SetItemIndex(index); });
    step(ToneParam::FxmDepth, [this](int shown) {
        EditFxmDepth->setText(QString::number(shown));
        UpDownFxmDepth->SetPosition(shown);
    });
    step(ToneParam::Level, setBar(BarLevel));
    step(ToneParam::Pan, setBar(BarPan));
    step(ToneParam::AlternatePan, setBar(BarAlternatePan));
    step(ToneParam::RandomPan, setBox(CBRandomPan));
    step(ToneParam::CoarseTune, setBar(BarTune));
    step(ToneParam::FineTune, setBar(BarFineTune));
    if (const auto filter = message.AtOffset(ToneParam::FilterType.Offset)) {
        applied = true;
        LBFilter->SetItemIndex(*filter);
    }
    step(ToneParam::Cutoff, setBar(BarCutOff));
    step(ToneParam::Resonance, setBar(BarReso));
    setEnvelope(Images[0], protocol::AmpEnvelope);
    setEnvelope(Images[1], protocol::PitchEnvelope);
    step(ToneParam::PitchEnvDepth, setBar(BarPitchEnvDepth));
    setEnvelope(Images[2], protocol::FilterEnvelope);
    step(ToneParam::FilterEnvDepth, setBar(BarFilterEnvDepth));

    if (applied)
        for (TEnvelopeImage *image : Images)
            if (image)
                image->Repaint(false);
    return applied;
}
