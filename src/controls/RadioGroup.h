#pragma once

// A captioned group of radio items arranged in columns, filled column by column. Its click
// handler runs whenever the selected item changes, by the user or by the program; choosing the
// item already selected is no change.

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>
#include <vector>

class QRadioButton;

class TRadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    TRadioGroup(const QString &caption, const QStringList &items, int columns,
                QWidget *parent = nullptr);

    int Count() const { return static_cast<int>(Buttons.size()); }
    int ItemIndex() const { return Group.checkedId(); }
    // An index beyond the items selects the last one; a negative index clears the selection.
    void SetItemIndex(int index);
    QRadioButton *Item(int index) const { return Buttons[static_cast<std::size_t>(index)]; }

signals:
    void Click();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void ArrangeItems();

    int Columns;
    QButtonGroup Group;
    std::vector<QRadioButton *> Buttons;
};
