#include "ControlWatch.h"

#include "DropDownList.h"
#include "EditBox.h"
#include "RadioGroup.h"
#include "TextToInt.h"
#include "UndoSteps.h"

#include <QAbstractSlider>
#include <QCheckBox>
#include <QScopedValueRollback>
#include <QUndoStack>
#include <utility>

TControlWatch::TControlWatch(QObject *parent, std::function<QUndoStack &()> stack,
                             std::function<bool()> quiet)
    : QObject(parent)
    , Stack(std::move(stack))
    , Quiet(std::move(quiet))
{ }

int TControlWatch::ValueOf(const QWidget *control)
{
    if (const auto *slider = qobject_cast<const QAbstractSlider *>(control))
        return slider->value();
    if (const auto *box = qobject_cast<const QCheckBox *>(control))
        return box->checkState() == Qt::PartiallyChecked ? 2 : box->isChecked() ? 1 : 0;
    if (const auto *list = qobject_cast<const TDropDownList *>(control))
        return list->ItemIndex();
    if (const auto *group = qobject_cast<const TRadioGroup *>(control))
        return group->ItemIndex();
    if (const auto *edit = qobject_cast<const TEditBox *>(control))
        return controls::TextToInt(edit->text());
    return 0;
}

void TControlWatch::Watch(QWidget *control, const QString &stepName)
{
    const std::size_t index = Watched.size();
    const auto note = [this, index] { NoteChange(index); };
    if (auto *slider = qobject_cast<QAbstractSlider *>(control)) {
        connect(slider, &QAbstractSlider::sliderPressed, this, [this] { ++DragSerial; });
        connect(slider, &QAbstractSlider::valueChanged, this, note);
    } else if (auto *box = qobject_cast<QCheckBox *>(control)) {
        // Every state, a partly ticked one too: a box turned from ticked to partly ticked by the
        // decoder stays ticked, and toggles nothing.
        connect(box, &QCheckBox::stateChanged, this, note);
    } else if (auto *list = qobject_cast<TDropDownList *>(control)) {
        // A list set by the decoder reports no pick: its value is taken afresh at each pick.
        connect(list, &QComboBox::currentIndexChanged, this, [this, index] {
            if (Quiet() || Restoring)
                Watched[index].Known = ValueOf(Watched[index].Control);
        });
        connect(list, &TDropDownList::UserChange, this, note);
    } else if (auto *group = qobject_cast<TRadioGroup *>(control)) {
        connect(group, &TRadioGroup::Click, this, note);
    } else if (auto *edit = qobject_cast<TEditBox *>(control)) {
        connect(edit, &TEditBox::Change, this, note);
    } else {
        return;
    }
    Watched.push_back({control, stepName, ValueOf(control)});
}

void TControlWatch::NoteChange(std::size_t index)
{
    TWatched &watched = Watched[index];
    const int after = ValueOf(watched.Control);
    const int before = std::exchange(watched.Known, after);
    if (Quiet() || Restoring || before == after)
        return;
    NoteAppliedEdits(index);
    const auto *slider = qobject_cast<const QAbstractSlider *>(watched.Control);
    Push(index, before, after, slider && slider->isSliderDown() ? DragSerial : 0);
}

void TControlWatch::NoteAppliedEdits(std::size_t changed)
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

void TControlWatch::Push(std::size_t index, int before, int after, int drag)
{
    const TWatched &watched = Watched[index];
    Stack().push(new TControlStep(watched.StepName, watched.Control, before, after, drag,
                                  [this, index](int value) { Restore(index, value); }));
}

void TControlWatch::Restore(std::size_t index, int value)
{
    QWidget *control = Watched[index].Control;
    const QScopedValueRollback restoring(Restoring, true);
    // Set back as the user would: the control's own handlers send it.
    if (auto *slider = qobject_cast<QAbstractSlider *>(control)) {
        slider->setValue(value);
    } else if (auto *box = qobject_cast<QCheckBox *>(control)) {
        box->setCheckState(value == 2       ? Qt::PartiallyChecked
                               : value != 0 ? Qt::Checked
                                            : Qt::Unchecked);
        if (value != 2)
            box->setTristate(false);
    } else if (auto *list = qobject_cast<TDropDownList *>(control)) {
        // A list set from the program runs no handler: the pick is reported as the user's is.
        list->SetItemIndex(value);
        emit list->UserChange(list->ItemIndex());
    } else if (auto *group = qobject_cast<TRadioGroup *>(control)) {
        group->SetItemIndex(value);
    } else if (auto *edit = qobject_cast<TEditBox *>(control)) {
        edit->setText(QString::number(value));
    }
    Watched[index].Known = ValueOf(control);
}
