#include "MixerUndo.h"

#include "controls/DropDownList.h"
#include "controls/EditBox.h"
#include "controls/TextToInt.h"
#include "controls/UndoSteps.h"
#include "sysex/MixerMessages.h"

#include <QAbstractSlider>
#include <QCheckBox>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QUndoStack>
#include <utility>

namespace {
// The groups' names within the control names, as the window's captions call them.
const std::pair<const char *, const char *> Words[]
    = {{"Mixer", "Level"}, {"Trans", "Transpose"}, {"MFXSwitch", "MFX Switch"}};
} // namespace

TMixerUndo::TMixerUndo(QWidget &window, const TMixerSession &session, QUndoStack &stack)
    : QObject(&window)
    , Session(session)
    , Stack(stack)
{
    for (QWidget *control : window.findChildren<QWidget *>()) {
        const QString name = control->objectName();
        // A group's box moves its bar, which is the step; the delay time box only shows.
        if (qobject_cast<QAbstractSlider *>(control) || qobject_cast<QCheckBox *>(control)
            || qobject_cast<TDropDownList *>(control) || name == QLatin1String("EditDelayFeedback"))
            Watch(control);
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

int TMixerUndo::ValueOf(const QWidget *control)
{
    if (const auto *slider = qobject_cast<const QAbstractSlider *>(control))
        return slider->value();
    if (const auto *box = qobject_cast<const QCheckBox *>(control))
        return box->isChecked() ? 1 : 0;
    if (const auto *list = qobject_cast<const TDropDownList *>(control))
        return list->ItemIndex();
    if (const auto *edit = qobject_cast<const TEditBox *>(control))
        return controls::TextToInt(edit->text());
    return 0;
}

void TMixerUndo::Watch(QWidget *control)
{
    const std::size_t index = Watched.size();
    Watched.push_back({control, ValueOf(control)});
    const auto note = [this, index] { NoteChange(index); };
    if (auto *slider = qobject_cast<QAbstractSlider *>(control)) {
        connect(slider, &QAbstractSlider::sliderPressed, this, [this] { ++DragSerial; });
        connect(slider, &QAbstractSlider::valueChanged, this, note);
    } else if (auto *box = qobject_cast<QCheckBox *>(control)) {
        connect(box, &QCheckBox::toggled, this, note);
    } else if (auto *list = qobject_cast<TDropDownList *>(control)) {
        // A list set by the decoder reports no pick: its value is taken afresh at each pick.
        connect(list, &QComboBox::currentIndexChanged, this, [this, index] {
            if (Session.Decoding || Restoring)
                Watched[index].Known = ValueOf(Watched[index].Control);
        });
        connect(list, &TDropDownList::UserChange, this, note);
    } else if (auto *edit = qobject_cast<TEditBox *>(control)) {
        connect(edit, &TEditBox::Change, this, note);
    }
}

void TMixerUndo::NoteChange(std::size_t index)
{
    TWatched &watched = Watched[index];
    const int after = ValueOf(watched.Control);
    const int before = std::exchange(watched.Known, after);
    if (Session.Decoding || Restoring || before == after)
        return;
    NoteAppliedEdits(index);
    const auto *slider = qobject_cast<const QAbstractSlider *>(watched.Control);
    Push(index, before, after, slider && slider->isSliderDown() ? DragSerial : 0);
}

void TMixerUndo::NoteAppliedEdits(std::size_t changed)
{
    // The changed control's handler has run: a number typed into another box and still waiting
    // for its edit to end went out with it (a box of the same group, the delay feedback with the
    // delay), and its control took it without a signal. That is a step of its own, made first.
    for (std::size_t i = 0; i < Watched.size(); ++i) {
        TWatched &watched = Watched[i];
        const auto *edit = qobject_cast<const TEditBox *>(watched.Control);
        if (i == changed || (edit && edit->HasPendingEdit()))
            continue;
        const int value = ValueOf(watched.Control);
        if (value != watched.Known)
            Push(i, std::exchange(watched.Known, value), value, 0);
    }
}

void TMixerUndo::Push(std::size_t index, int before, int after, int drag)
{
    QWidget *control = Watched[index].Control;
    Stack.push(new TControlStep(StepName(control->objectName()), control, before, after, drag,
                                [this, index](int value) { Restore(index, value); }));
}

void TMixerUndo::Restore(std::size_t index, int value)
{
    QWidget *control = Watched[index].Control;
    const QScopedValueRollback restoring(Restoring, true);
    // Set back as the user would: the control's own handlers send it.
    if (auto *slider = qobject_cast<QAbstractSlider *>(control)) {
        slider->setValue(value);
    } else if (auto *box = qobject_cast<QCheckBox *>(control)) {
        box->setChecked(value != 0);
    } else if (auto *list = qobject_cast<TDropDownList *>(control)) {
        list->SetItemIndex(value);
        emit list->UserChange(list->ItemIndex());
    } else if (auto *edit = qobject_cast<TEditBox *>(control)) {
        edit->setText(QString::number(value));
    }
    Watched[index].Known = ValueOf(control);
}
