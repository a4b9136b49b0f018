#include "WindowLook.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QTextDocument>

#include <array>

namespace {
constexpr int PointSize = 8;
// Arial's advance of the lowercase alphabet: 26067 font units, of 2048 to the em.
constexpr qreal ArialAlphabetEms = 26067.0 / 2048.0;
// The narrowest a font or a caption is drawn, against its own stretch.
constexpr int NarrowestStretch = QFont::Condensed;
// Where a Windows group box starts its title, from its left edge; the main window's Fxm check
// box lies on the first blanks of its group's title.
constexpr int GroupTitleIndent = 8;
// The gap a Windows check box or radio button leaves between its box and its caption.
constexpr int IndicatorGap = 4;

class TWindowStyle final : public QProxyStyle
{
public:
    TWindowStyle()
        : QProxyStyle(QStringLiteral("Fusion"))
    { }

    int pixelMetric(PixelMetric metric, const QStyleOption *option,
                    const QWidget *widget) const override
    {
        if (metric == PM_CheckBoxLabelSpacing || metric == PM_RadioButtonLabelSpacing)
            return IndicatorGap;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl part,
                         const QWidget *widget) const override
    {
        QRect rect = QProxyStyle::subControlRect(control, option, part, widget);
        if (control == CC_GroupBox && (part == SC_GroupBoxLabel || part == SC_GroupBoxCheckBox))
            rect.translate(GroupTitleIndent, 0);
        return rect;
    }
};

QString Alphabet()
{
    return QStringLiteral("abcdefghijklmnopqrstuvwxyz");
}

// The system's sans-serif, at the widest stretch at which it is no wider than Arial.
QFont NarrowedSansSerif()
{
    QFont font(QStringLiteral("Sans Serif"), PointSize);
    font.setStyleHint(QFont::SansSerif);
    const QFontMetricsF metrics(font);
    const qreal arial = ArialAlphabetEms * font.pointSizeF() * metrics.fontDpi() / 72.0;
    for (int stretch = QFont::Unstretched; stretch > NarrowestStretch; --stretch) {
        font.setStretch(stretch);
        if (QFontMetricsF(font).horizontalAdvance(Alphabet()) <= arial)
            return font;
    }
    font.setStretch(NarrowestStretch);
    return font;
}

TCaption WidestRow(const QComboBox &list)
{
    QStyleOptionComboBox option;
    option.initFrom(&list);
    option.editable = list.isEditable();
    option.frame = list.hasFrame();
    const QRect field = list.style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                     QStyle::SC_ComboBoxEditField, &list);
    const QFontMetricsF metrics(list.font());
    QString widest;
    for (int row = 0; row < list.count(); ++row)
        if (metrics.horizontalAdvance(list.itemText(row)) > metrics.horizontalAdvance(widest))
            widest = list.itemText(row);
    // The row is drawn a pixel in from each side of the field.
    return {widest, QRectF(field).adjusted(1, 0, -1, 0), Qt::AlignLeft | Qt::AlignVCenter};
}

TCaption ButtonCaption(const QAbstractButton &button, QStyle::SubElement contents, int flags)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    return {button.text(), button.style()->subElementRect(contents, &option, &button), flags};
}

bool Fits(const TCaption &caption, const QFont &font)
{
    const QFontMetricsF metrics(font);
    if (!(caption.Flags & Qt::TextWordWrap))
        return metrics.horizontalAdvance(caption.Text) <= caption.Space.width();
    const QRectF needed = metrics.boundingRect(QRectF(0, 0, caption.Space.width(), QWIDGETSIZE_MAX),
                                               Qt::TextWordWrap, caption.Text);
    return needed.width() <= caption.Space.width() && needed.height() <= caption.Space.height();
}
} // namespace

TCaption CaptionOf(const QWidget &control)
{
    const int left = Qt::AlignLeft | Qt::AlignVCenter;
    if (const auto *label = qobject_cast<const QLabel *>(&control)) {
        const bool rich = label->textFormat() == Qt::RichText
            || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
        if (rich)
            return {};
        const int margin = label->margin();
        return {label->text(), label->contentsRect().adjusted(margin, margin, -margin, -margin),
                int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0)};
    }
    if (const auto *box = qobject_cast<const QCheckBox *>(&control))
        return ButtonCaption(*box, QStyle::SE_CheckBoxContents, left);
    if (const auto *radio = qobject_cast<const QRadioButton *>(&control))
        return ButtonCaption(*radio, QStyle::SE_RadioButtonContents, left);
    if (const auto *button = qobject_cast<const QPushButton *>(&control))
        return ButtonCaption(*button, QStyle::SE_PushButtonContents, Qt::AlignCenter);
    if (const auto *list = qobject_cast<const QComboBox *>(&control))
        return WidestRow(*list);
    if (const auto *group = qobject_cast<const QGroupBox *>(&control)) {
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.textAlignment = group->alignment();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QRect title = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                           QStyle::SC_GroupBoxLabel, group);
        // The title may run up to the box's right edge.
        return {group->title(),
                QRectF(title.left(), title.top(), group->width() - title.left(), title.height()),
                left};
    }
    return {};
}

QFont WindowFont()
{
    // Liberation Sans and Arimo were made with Arial's widths.
    for (const QString &family :
         {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial")})
        if (QFontDatabase::hasFamily(family))
            return QFont(family, PointSize);
    return NarrowedSansSerif();
}

void UseWindowLook()
{
    QApplication::setStyle(new TWindowStyle);
    QApplication::setFont(WindowFont());
}

namespace {
void FitCaptions(QWidget &window)
{
    for (QWidget *widget : window.findChildren<QWidget *>()) {
        const TCaption caption = CaptionOf(*widget);
        QFont font = widget->font();
        if (caption.Text.isEmpty() || Fits(caption, font))
            continue;
        const int own
            = font.stretch() == QFont::AnyStretch ? int(QFont::Unstretched) : font.stretch();
        for (const int stretch : std::array {int(QFont::SemiCondensed), NarrowestStretch}) {
            font.setStretch(own * stretch / QFont::Unstretched);
            if (Fits(caption, font))
                break;
        }
        widget->setFont(font);
    }
}

// Fits the captions at the window's first showing: a hidden control gets its final size only
// then.
class TFitWhenShown final : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched == parent()) {
            watched->removeEventFilter(this);
            FitCaptions(*static_cast<QWidget *>(watched));
            deleteLater();
        }
        return false;
    }
};
} // namespace

void FitCaptionsWhenShown(QWidget &window)
{
    window.installEventFilter(new TFitWhenShown(&window));
}
