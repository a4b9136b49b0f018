// The three windows as the program shows them, at the program's look: every caption (label,
// button, check box, radio button, group title) and every row of a drop-down list fits its
// control, and no other control is drawn where a caption's letters are. CMake runs it once more
// at QT_SCALE_FACTOR=2.

#include "app/Application.h"
#include "controls/WindowLook.h"
#include "midi/MidiDevices.h"
#include "midi/MidiService.h"
#include "mixer/FormMFX.h"
#include "session/ErrorPolicy.h"
#include "support/ErrorRecorder.h"

#include <QFile>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QtTest>

#include <map>
#include <memory>

namespace {
QString NameOf(const QWidget *widget)
{
    if (!widget->objectName().isEmpty())
        return widget->objectName();
    return NameOf(widget->parentWidget()) + QLatin1Char('/') + widget->metaObject()->className();
}

// The width the caption needs in its space; lines that run out at the bottom count as too wide.
qreal Needed(const TCaption &caption, const QFont &font)
{
    const QFontMetricsF metrics(font);
    if (!(caption.Flags & Qt::TextWordWrap))
        return metrics.horizontalAdvance(caption.Text);
    const QRectF lines = metrics.boundingRect(caption.Space, caption.Flags, caption.Text);
    return lines.bottom() > caption.Space.bottom() ? caption.Space.width() + 1 : lines.width();
}

// The rectangle the caption's letters cover in its control, found by drawing them as the
// control does (blanks cover nothing).
QRectF LettersOf(const QWidget &owner, const TCaption &caption)
{
    const qreal ratio = owner.devicePixelRatioF();
    const qreal width = owner.width() + Needed(caption, owner.font());
    QImage image(QSizeF(width * ratio, owner.height() * ratio).toSize(),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setFont(owner.font());
        painter.drawText(caption.Space, caption.Flags, caption.Text);
    }
    QRect inked;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                inked |= QRect(x, y, 1, 1);
    return QRectF(QPointF(inked.topLeft()) / ratio, QSizeF(inked.size()) / ratio);
}

bool Related(const QWidget *a, const QWidget *b)
{
    return a->isAncestorOf(b) || b->isAncestorOf(a);
}

// Whether `a` is drawn over `b`: of the two children of their nearest common parent that hold
// them, `a`'s comes later.
bool DrawnOver(const QWidget *a, const QWidget *b)
{
    QList<const QWidget *> chainA, chainB;
    for (const QWidget *w = a; w; w = w->parentWidget())
        chainA.prepend(w);
    for (const QWidget *w = b; w; w = w->parentWidget())
        chainB.prepend(w);
    qsizetype i = 0;
    while (chainA[i] == chainB[i])
        ++i;
    const QObjectList &children = chainA[i - 1]->children();
    return children.indexOf(chainA[i]) > children.indexOf(chainB[i]);
}

class TWindowWalk
{
public:
    explicit TWindowWalk(QWidget &window)
        : Window(window)
    {
        for (QWidget *widget : window.findChildren<QWidget *>())
            if (widget->isVisible() && widget->window() == &window && !widget->size().isEmpty())
                Shown.push_back(widget);
    }

    QStringList Faults()
    {
        QStringList faults;
        for (QWidget *owner : Shown) {
            const TCaption caption = CaptionOf(*owner);
            // The setup dialog's lists show whatever names the system gives its ports.
            if (caption.Text.trimmed().isEmpty()
                || owner->objectName().startsWith(QLatin1String("LBSetup_Midi")))
                continue;
            const QString name = QStringLiteral("%1 \"%2\"").arg(NameOf(owner), caption.Text);
            const qreal needed = Needed(caption, owner->font());
            if (needed > caption.Space.width())
                faults << QStringLiteral("%1 needs %2 px and has %3")
                              .arg(name)
                              .arg(needed, 0, 'f', 1)
                              .arg(caption.Space.width());
            // A letter touching a control beside it reads as part of it.
            const QRectF letters = LettersOf(*owner, caption)
                                       .translated(owner->mapTo(&Window, QPoint()))
                                       .adjusted(-1, 0, 1, 0);
            for (QWidget *other : Shown)
                if (other != owner && !Related(owner, other)
                    && !(owner->autoFillBackground() && DrawnOver(owner, other))
                    && Covers(other, letters))
                    faults << QStringLiteral("%1 lies on %2").arg(name, NameOf(other));
        }
        return faults;
    }

private:
    // Whether the widget itself (not its children) paints any pixel within `area`.
    bool Covers(QWidget *widget, const QRectF &area)
    {
        const QRectF placed(widget->mapTo(&Window, QPoint()), widget->size());
        const QRectF common = area.intersected(placed).translated(-placed.topLeft());
        if (common.isEmpty())
            return false;
        const QImage &image = Painted(widget);
        const qreal ratio = image.devicePixelRatio();
        const QRect pixels = QRectF(common.topLeft() * ratio, common.bottomRight() * ratio)
                                 .toAlignedRect()
                                 .intersected(image.rect());
        for (int y = pixels.top(); y <= pixels.bottom(); ++y)
            for (int x = pixels.left(); x <= pixels.right(); ++x)
                if (qAlpha(image.pixel(x, y)) != 0)
                    return true;
        return false;
    }
    const QImage &Painted(QWidget *widget)
    {
        auto known = Images.find(widget);
        if (known != Images.end())
            return known->second;
        const qreal ratio = widget->devicePixelRatioF();
        QImage image(widget->size() * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        widget->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        return Images.emplace(widget, image).first->second;
    }

    QWidget &Window;
    QList<QWidget *> Shown;
    std::map<QWidget *, QImage> Images;
};
} // namespace

class TestCaptions : public QObject, public TErrorRecorder
{
    Q_OBJECT

    std::unique_ptr<TProgramWindows> Windows;
    QList<QWidget *> Shown; // the four windows

private slots:
    void initTestCase()
    {
        QFile::remove(QStringLiteral("Ombrix.INI"));
        QFile::remove(QStringLiteral("Ombrix.conf"));
        SetUpProgramLook();
        RecordErrors();
        midi::SetMidiService(CreateProgramMidiService());
        Windows = std::make_unique<TProgramWindows>();
        // The MFX window as the menu opens it, with the rows of the type the instrument holds.
        Windows->FormMixer.Mfx().OpenFrom(nullptr);
        Shown = {&Windows->Ombrix, &Windows->FormMixer, &Windows->FormSetup,
                 &Windows->FormMixer.Mfx()};
        for (QWidget *window : Shown) {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
        }
        QVERIFY(Errors.empty());
    }
    void cleanupTestCase()
    {
        Windows.reset();
        midi::ShutdownMidi();
        midi::SetMidiService(nullptr);
        StopRecordingErrors();
        QFile::remove(QStringLiteral("Ombrix.INI"));
    }

    void windowsShowArialWidths()
    {
        // The package and the set-up script install Liberation Sans, made with Arial's widths.
        QCOMPARE(QFontInfo(Windows->Ombrix.font()).family(), QStringLiteral("Liberation Sans"));
    }

    // Each fault names its control from its window's object name down.
    void captionsFitAndLieClear()
    {
        QStringList faults;
        for (QWidget *window : Shown)
            faults << TWindowWalk(*window).Faults();
        for (const QString &fault : faults)
            qWarning().noquote() << fault;
        QCOMPARE(faults.size(), 0);
    }
};

QTEST_MAIN(TestCaptions)
#include "tst_app_captions.moc"
