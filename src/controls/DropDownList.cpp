#include "DropDownList.h"

#include <QMetaObject>

TDropDownList::TDropDownList(QWidget *parent)
    : QComboBox(parent)
{
    setEditable(false);
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        RowJustChanged = true;
        QMetaObject::invokeMethod(
            this, [this] { RowJustChanged = false; }, Qt::QueuedConnection);
    });
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (!RowJustChanged)
            return;
        RowJustChanged = false;
        emit UserChange(index);
    });
}
