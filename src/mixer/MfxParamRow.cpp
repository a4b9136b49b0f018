#include "MfxParamRow.h"

#include "controls/DropDownList.h"
#include "controls/SetNew.h"
#include "controls/TrackBar.h"

#include <QLabel>
#include <QScopedValueRollback>

namespace {
constexpr int CaptionWidth = 130;
constexpr int ControlLeft = 140;
constexpr int ControlWidth = 170;
constexpr int ValueLeft = 318;
constexpr int ValueWidth = 92;
constexpr int RowHeight = 22;

QString Named(const char *stem, int number)
{
    return QStringLiteral("%1%2").arg(QLatin1StringView(stem)).arg(number);
}
} // namespace

TMfxParamRow::TMfxParamRow(int number, QWidget &parent, int top)
    : QObject(&parent)
{
    Caption = new QLabel(&parent);
    Caption->setObjectName(Named("LabelMFXParam", number));
    Caption->setGeometry(8, top, CaptionWidth, RowHeight);
    Bar = new TTrackBar(Qt::Horizontal, &parent);
    Bar->setObjectName(Named("BarMFXParam", number));
    Bar->setPageStep(1);
    Bar->setGeometry(ControlLeft, top, ControlWidth, RowHeight);
    List = new TDropDownList(&parent);
    List->setObjectName(Named("LBMFXParam", number));
    List->setGeometry(ControlLeft, top, ControlWidth, RowHeight);
    ValueText = new QLabel(&parent);
    ValueText->setObjectName(Named("LabelMFXValue", number));
    ValueText->setGeometry(ValueLeft, top, ValueWidth, RowHeight);

    connect(Bar, &QSlider::sliderPressed, this, &TMfxParamRow::Pressed);
    connect(Bar, &QSlider::valueChanged, this, [this](int byte) {
        if (Showing || !Param)
            return;
        ShowText(byte, true, byte);
        emit Change(byte);
    });
    connect(List, &TDropDownList::UserChange, this, [this](int byte) {
        if (Showing || !Param || byte < 0)
            return;
        ShowText(byte, true, byte);
        emit Change(byte);
    });
    Show(nullptr, 0);
}

void TMfxParamRow::Show(const sysex::mfx::TMfxParam *param, int byte)
{
    const QScopedValueRollback showing(Showing, true);
    const bool changed = param != Param;
    Param = param;
    const bool list = param && sysex::mfx::ShownAsList(*param);
    Caption->setVisible(param != nullptr);
    ValueText->setVisible(param != nullptr);
    Bar->setVisible(param && !list);
    List->setVisible(list);
    if (!param)
        return;
    SetNewText(*Caption, QString::fromLatin1(param->Name));
    const sysex::mfx::TRangeCheck check = sysex::mfx::CheckValue(*param, byte);
    if (list) {
        if (changed) {
            List->clear();
            for (const std::string &item : sysex::mfx::ValueTexts(*param))
                List->addItem(QString::fromStdString(item));
        }
        List->SetItemIndex(check.Nearest);
    } else {
        if (Bar->minimum() != 0 || Bar->maximum() != param->Max)
            Bar->setRange(0, param->Max);
        Bar->setValue(check.Nearest);
    }
    ShowText(check.Nearest, check.InRange, byte);
}

void TMfxParamRow::ShowText(int byte, bool inRange, int stored)
{
    SetNewText(*ValueText, QString::fromStdString(sysex::mfx::ValueText(*Param, byte)));
    // The instrument holds a byte the effect does not take: shown, marked, and left as it is
    // until the user sets the parameter.
    SetNewStyleSheet(*ValueText, inRange ? QString() : QStringLiteral("color: red;"));
    SetNewToolTip(*ValueText,
                  inRange ? QString()
                          : QStringLiteral("The instrument holds %1, out of range: "
                                           "shown as the nearest value")
                                .arg(stored));
}

int TMfxParamRow::Value() const
{
    return Param && sysex::mfx::ShownAsList(*Param) ? List->ItemIndex() : Bar->value();
}

bool TMfxParamRow::Held() const
{
    return Bar->isSliderDown();
}
