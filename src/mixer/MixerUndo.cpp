#include "MixerUndo.h"

#include "controls/ControlWatch.h"
#include "controls/DropDownList.h"
#include "sysex/MixerMessages.h"

#include <QAbstractSlider>
#include <QCheckBox>
#include <QRegularExpression>
#include <utility>

namespace {
// The groups' names within the control names, as the window's captions call them.
const std::pair<const char *, const char *> Words[]
    = {{"Mixer", "Level"}, {"Trans", "Transpose"}, {"MFXSwitch", "MFX Switch"}};
} // namespace

TMixerUndo::TMixerUndo(QWidget &window, const TMixerSession &session, QUndoStack &stack)
    : TControlWatch(
        &window, [&stack]() -> QUndoStack & { return stack; },
        [&session] { return session.Decoding; })
{
    for (QWidget *control : window.findChildren<QWidget *>()) {
        // The MFX window, the mixer's child window, keeps its own steps.
        if (control->window() != &window)
            continue;
        const QString name = control->objectName();
        // A group's box moves its bar, which is the step; the delay time box only shows.
        if (qobject_cast<QAbstractSlider *>(control) || qobject_cast<QCheckBox *>(control)
            || qobject_cast<TDropDownList *>(control) || name == QLatin1String("EditDelayFeedback"))
            Watch(control, StepName(name));
    }
}

QString TMixerUndo::StepName(const QString &objectName)
{
    static const QRegularExpression parts(QStringLiteral("^(Bar|CB|LB|Edit)(\\D+)(\\d?)$"));
    const QRegularExpressionMatch match = parts.match(objectName);
    if (!match.hasMatch())
        return objectName;
    QString stem = match.captured(2);
    bool named = false;
    for (const auto &[word, caption] : Words)
        if (stem == QLatin1String(word)) {
            stem = QString::fromLatin1(caption);
            named = true;
        }
    if (!named) {
        // ReverbToMFX: Reverb To MFX.
        static const QRegularExpression wordStart(QStringLiteral("(?<=[a-z])(?=[A-Z])"));
        stem.replace(wordStart, QStringLiteral(" "));
    }
    if (match.captured(3).isEmpty())
        return stem;
    const int suffix = match.captured(3).toInt();
    if (suffix < 1 || suffix > sysex::mixer::PartCount)
        return stem;
    return QStringLiteral("%1 Part %2")
        .arg(stem,
             QString::fromLatin1(sysex::mixer::Parts[static_cast<std::size_t>(suffix - 1)].Label));
}
