#include "RadioGroup.h"

#include <QRadioButton>
#include <QResizeEvent>

TRadioGroup::TRadioGroup(const QString &caption, const QStringList &items, int columns,
                         QWidget *parent)
    : QGroupBox(caption, parent)
    , Columns(std::max(1, columns))
{
    Group.setExclusive(true);
    for (int i = 0; i < items.size(); ++i) {
        auto *button = new QRadioButton(items[i], this);
        Group.addButton(button, i);
        Buttons.push_back(button);
    }
    connect(&Group, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            emit Click();
    });
    ArrangeItems();
}

void TRadioGroup::SetItemIndex(int index)
{
    if (Buttons.empty())
        return;
    if (index < 0) {
        if (QAbstractButton *checked = Group.checkedButton()) {
            Group.setExclusive(false);
            checked->setChecked(false);
            Group.setExclusive(true);
        }
        return;
    }
    Buttons[static_cast<std::size_t>(std::min(index, Count() - 1))]->setChecked(true);
}

void TRadioGroup::resizeEvent(QResizeEvent *event)
{
    QGroupBox::resizeEvent(event);
    ArrangeItems();
}

void TRadioGroup::ArrangeItems()
{
    if (Buttons.empty())
        return;
    const int perColumn = (Count() + Columns - 1) / Columns;
    const int top = fontMetrics().height();
    const int itemWidth = std::max(1, (width() - 8) / Columns);
    const int itemHeight = std::max(1, (height() - top - 3) / perColumn);
    for (int i = 0; i < Count(); ++i) {
        const int column = i / perColumn;
        const int row = i % perColumn;
        Buttons[static_cast<std::size_t>(i)]->setGeometry(
            4 + column * itemWidth, top + row * itemHeight, itemWidth, itemHeight);
    }
}
