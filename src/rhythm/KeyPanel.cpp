#include "KeyPanel.h"

#include "controls/DropDownList.h"
#include "controls/EnvelopeImage.h"
#include "controls/ScrollBar.h"
#include "controls/WaveDisplayText.h"
#include "sysex/ToneParams.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScopedValueRollback>

using namespace sysex::rhythm;

namespace {
// The size of the main window's envelope pictures, whose drag the keys' share.
constexpr int EnvelopeWidth = 250;
constexpr int EnvelopeHeight = 56;

const TKeyParam &Param(int row)
{
    return KeyTable[static_cast<std::size_t>(row)];
}

QString Text(const std::string &text)
{
    return QString::fromStdString(text);
}
} // namespace

TKeyPanel::TKeyPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("KeyPanel"));
    auto *columns = new QHBoxLayout(this);
    columns->setContentsMargins(0, 0, 0, 0);
    // The key's own sound on the left, its three envelopes with their depths and velocities on
    // the right, as a tone column reads from top to bottom.
    QWidget *left = new QWidget(this);
    QWidget *right = new QWidget(this);
    new QGridLayout(left);
    new QGridLayout(right);
    columns->addWidget(left, 0, Qt::AlignTop);
    columns->addWidget(right, 0, Qt::AlignTop);
    bool envelopes = false;
    for (int row = 0; row < KeyParamCount; ++row) {
        envelopes = envelopes || Param(row).Kind == TKeyKind::EnvelopeImage;
        MakeRow(row, envelopes ? right : left);
    }
    auto *rhy = new QLabel(QStringLiteral("MFX, Delay Send and Reverb Send act only while "
                                          "part R's MFX is RHY."),
                           left);
    rhy->setObjectName(QStringLiteral("LabelRhyOnly"));
    rhy->setWordWrap(true);
    static_cast<QGridLayout *>(left->layout())->addWidget(rhy, left->layout()->count(), 0, 1, 3);
    Show(std::nullopt);
}

TKeyPanel::~TKeyPanel() = default;

void TKeyPanel::MakeRow(int row, QWidget *column)
{
    const TKeyParam &param = Param(row);
    auto *grid = static_cast<QGridLayout *>(column->layout());
    const int line = grid->rowCount();
    const QString name = Text(ObjectName(param));
    const QString caption = QString::fromLatin1(param.Caption);
    auto *text = new QLabel(column);
    text->setObjectName(QStringLiteral("Text") + name);
    text->setMinimumWidth(90);
    Texts[static_cast<std::size_t>(row)] = text;

    QWidget *control = nullptr;
    switch (param.Kind) {
    case TKeyKind::CheckBox: {
        auto *box = new QCheckBox(caption, column);
        connect(box, &QCheckBox::clicked, this, [this, row] { emit Edited(row); });
        control = box;
        break;
    }
    case TKeyKind::List: {
        auto *list = new TDropDownList(column);
        for (int byte = param.StoredMin; byte <= param.StoredMax; ++byte)
            list->addItem(Text(KeyValueText(param, byte)));
        connect(list, &TDropDownList::UserChange, this, [this, row] { emit Edited(row); });
        control = list;
        break;
    }
    case TKeyKind::Bar: {
        auto *bar = new TScrollBar(Qt::Horizontal, column);
        bar->setRange(param.ControlMin(), param.ControlMax());
        bar->setMinimumWidth(160);
        connect(bar, &QScrollBar::sliderPressed, this, [this] { ++Presses; });
        connect(bar, &QScrollBar::valueChanged, this, [this, row, bar] {
            // The text follows the bar whoever moves it; only the user's move is an edit.
            Texts[static_cast<std::size_t>(row)]->setText(
                Text(KeyValueText(Param(row), Param(row).ToByte(bar->value()))));
            if (!Showing)
                emit Edited(row);
        });
        control = bar;
        break;
    }
    case TKeyKind::WaveList: {
        auto *list = new TDropDownList(column);
        list->setMaxVisibleItems(30);
        for (int wave = 0; wave < sysex::WaveRowCount; ++wave)
            list->addItem(WaveRowDisplayText(wave));
        connect(list, &TDropDownList::UserChange, this, [this, row] { emit Edited(row); });
        control = list;
        break;
    }
    case TKeyKind::EnvelopeImage: {
        const TKeyEnvelope &shape = *param.Envelope;
        const int start
            = shape.Shape.StartOffsetDiv > 0 ? EnvelopeHeight / shape.Shape.StartOffsetDiv : 0;
        auto &envelope = Envelopes[static_cast<std::size_t>(row)];
        envelope = std::make_unique<sysex::TEnveloppe>(EnvelopeWidth, EnvelopeHeight, start,
                                                       shape.Shape.ReleaseLevelEditable);
        envelope->MaxLevel = shape.LevelMax;
        // No sender: the window sends the key's times and levels once the drag is over.
        auto *image = new TEnvelopeImage(*envelope, shape.Shape, {}, column);
        connect(image, &TEnvelopeImage::Dragged, this, [this, row] { emit Edited(row); });
        grid->addWidget(new QLabel(caption, column), line, 0, 1, 3);
        grid->addWidget(image, line + 1, 0, 1, 3);
        grid->addWidget(text, line + 2, 0, 1, 3);
        control = image;
        break;
    }
    }
    control->setObjectName(name);
    control->setToolTip(caption);
    Controls[static_cast<std::size_t>(row)] = control;
    if (param.Kind == TKeyKind::EnvelopeImage)
        return;
    if (param.Kind != TKeyKind::CheckBox)
        grid->addWidget(new QLabel(caption, column), line, 0);
    grid->addWidget(control, line, 1);
    grid->addWidget(text, line, 2);
}

TEnvelopeImage *TKeyPanel::ImageOf(int row) const
{
    return qobject_cast<TEnvelopeImage *>(ControlOf(row));
}

int TKeyPanel::Drag() const
{
    for (QWidget *control : Controls)
        if (auto *bar = qobject_cast<QScrollBar *>(control); bar && bar->isSliderDown())
            return Presses;
    return 0;
}

void TKeyPanel::Show(const std::optional<TKeyBlock> &key)
{
    const QScopedValueRollback showing(Showing, true);
    setEnabled(key.has_value());
    for (int row = 0; row < KeyParamCount; ++row) {
        const TKeyParam &param = Param(row);
        QWidget *control = ControlOf(row);
        if (!key) {
            Texts[static_cast<std::size_t>(row)]->clear();
            continue;
        }
        const int byte = (*key)[param.Offset];
        switch (param.Kind) {
        case TKeyKind::CheckBox:
            static_cast<QCheckBox *>(control)->setChecked(byte == 1);
            break;
        case TKeyKind::List:
            static_cast<TDropDownList *>(control)->SetItemIndex(byte - param.StoredMin);
            break;
        case TKeyKind::Bar:
            static_cast<QScrollBar *>(control)->setValue(param.ToControl(byte));
            break;
        case TKeyKind::WaveList: {
            const TKeyWave wave = WaveOfKey(*key);
            static_cast<TDropDownList *>(control)->SetItemIndex(
                sysex::WaveRowFromBytes(wave.GroupByte, wave.Number / 16, wave.Number % 16));
            break;
        }
        case TKeyKind::EnvelopeImage: {
            const sysex::TEnvelopeParams &shape = param.Envelope->Shape;
            std::array<int, 4> levels {};
            std::array<int, 4> times {};
            for (std::size_t i = 0; i < 4; ++i) {
                times[i] = (*key)[shape.TimeOffsets[i]];
                if (static_cast<int>(i) < shape.LevelCount)
                    levels[i] = (*key)[shape.LevelOffsets[i]];
            }
            TEnvelopeImage *image = ImageOf(row);
            image->Envelope().SetValues(levels, times);
            image->Repaint();
            break;
        }
        }
        ShowText(row, *key);
    }
}

void TKeyPanel::ShowText(int row, const TKeyBlock &key)
{
    const TKeyParam &param = Param(row);
    QString text;
    if (param.Kind == TKeyKind::WaveList) {
        const TKeyWave wave = WaveOfKey(key);
        text = Text(WaveCode(wave.GroupByte, wave.Number));
    } else if (param.Kind == TKeyKind::EnvelopeImage) {
        const TKeyEnvelope &envelope = *param.Envelope;
        QStringList times;
        QStringList levels;
        for (std::size_t i = 0; i < 4; ++i) {
            times << QString::number(key[envelope.Shape.TimeOffsets[i]]);
            if (static_cast<int>(i) < envelope.Shape.LevelCount)
                levels << Text(ShownText(envelope.LevelShown, key[envelope.Shape.LevelOffsets[i]],
                                         envelope.LevelBias));
        }
        text = QStringLiteral("T %1   L %2").arg(times.join(u' '), levels.join(u' '));
    } else {
        text = Text(KeyValueText(param, key[param.Offset]));
    }
    Texts[static_cast<std::size_t>(row)]->setText(text);
}

void TKeyPanel::Write(int row, TKeyBlock &key)
{
    const TKeyParam &param = Param(row);
    QWidget *control = ControlOf(row);
    const auto put = [&key](int offset, int byte) {
        key[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(byte);
    };
    switch (param.Kind) {
    case TKeyKind::CheckBox:
        put(param.Offset, static_cast<QCheckBox *>(control)->isChecked() ? 1 : 0);
        break;
    case TKeyKind::List:
        put(param.Offset, static_cast<TDropDownList *>(control)->ItemIndex() + param.StoredMin);
        break;
    case TKeyKind::Bar:
        put(param.Offset, param.ToByte(static_cast<QScrollBar *>(control)->value()));
        break;
    case TKeyKind::WaveList: {
        const sysex::TWaveBytes wave
            = sysex::WaveBytesFromRow(static_cast<TDropDownList *>(control)->ItemIndex());
        put(param.Offset, wave.Group);
        put(WaveNumberHighOffset, wave.High);
        put(WaveNumberLowOffset, wave.Low);
        break;
    }
    case TKeyKind::EnvelopeImage: {
        const sysex::TEnvelopeParams &shape = param.Envelope->Shape;
        const sysex::TEnveloppe &envelope = ImageOf(row)->Envelope();
        for (std::size_t i = 0; i < 4; ++i) {
            put(shape.TimeOffsets[i], envelope.Times[i]);
            if (static_cast<int>(i) < shape.LevelCount)
                put(shape.LevelOffsets[i], envelope.Levels[i]);
        }
        break;
    }
    }
    ShowText(row, key);
}
