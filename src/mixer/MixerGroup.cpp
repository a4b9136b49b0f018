#include "MixerGroup.h"

#include "controls/EditBox.h"
#include "controls/ScrollBar.h"
#include "controls/TextToInt.h"
#include "session/ErrorPolicy.h"

#include <QLabel>
#include <QScrollBar>
#include <QSignalBlocker>

TMixerGroup::TMixerGroup(sysex::mixer::TSendGroup group, const TMixerSession &session,
                         QWidget *panel, const TGeometry &geometry)
    : QWidget(panel)
    , Session(session)
{
    const sysex::mixer::TSendGroupInfo &info = sysex::mixer::SendGroupInfo(group);
    const QString hint = QString::fromLatin1(info.Hint);
    // The bars are named as the table names the field's control, the boxes after them.
    const QString barName = QString::fromLatin1(sysex::mixer::Field(info.Field).ObjectName);
    const QString boxName = QStringLiteral("Edit") + barName.mid(3);
    // The group covers its rows; its children keep their places in the panel.
    const QPoint origin(geometry.LabelLeft, geometry.Top);
    setGeometry(QRect(origin,
                      QSize(geometry.BarLeft + geometry.BarWidth - geometry.LabelLeft,
                            sysex::mixer::PartCount * geometry.RowHeight)));
    const auto place = [&origin](QWidget *control, int left, int top, int width, int height) {
        control->setGeometry(QRect(QPoint(left, top) - origin, QSize(width, height)));
    };
    for (int suffix = 1; suffix <= sysex::mixer::PartCount; ++suffix) {
        const std::size_t i = Index(suffix);
        // Part 7 on the top row, part R on the bottom one.
        const int top = geometry.Top + (sysex::mixer::PartCount - suffix) * geometry.RowHeight;

        Labels[i] = new QLabel(QString::fromLatin1(sysex::mixer::Parts[i].Label), this);
        place(Labels[i], geometry.LabelLeft, top, geometry.BoxLeft - geometry.LabelLeft,
              geometry.RowHeight - 1);

        Boxes[i] = new TEditBox(this);
        Boxes[i]->setObjectName(boxName + QString::number(suffix));
        Boxes[i]->setMaxLength(3);
        Boxes[i]->setText(QString::number(info.Start));
        Boxes[i]->setToolTip(hint);
        place(Boxes[i], geometry.BoxLeft, top, geometry.BoxWidth, geometry.RowHeight - 1);

        Bars[i] = new TScrollBar(Qt::Horizontal, this);
        Bars[i]->setObjectName(barName + QString::number(suffix));
        Bars[i]->setRange(info.Minimum, info.Maximum);
        Bars[i]->setValue(info.Start);
        Bars[i]->setToolTip(hint);
        place(Bars[i], geometry.BarLeft, top + 1, geometry.BarWidth, geometry.RowHeight - 3);

        // The box handler is there from the start: the decoder moves the bars through it.
        connect(Boxes[i], &TEditBox::Change, this, &TMixerGroup::EditChange);
    }
}

void TMixerGroup::ConnectSendHandlers()
{
    if (SendConnected)
        return;
    SendConnected = true;
    for (QScrollBar *bar : Bars)
        connect(bar, &QScrollBar::valueChanged, this, &TMixerGroup::BarChange);
}

void TMixerGroup::EditChange()
{
    session::RunHandler([this] {
        for (std::size_t i = 0; i < Bars.size(); ++i) {
            const int value = controls::TextToInt(Boxes[i]->text());
            // A bar that moves sends; if that fails, this change ends there too.
            session::ChangeControl([&] { Bars[i]->setValue(value); });
        }
    });
}

void TMixerGroup::ApplyPendingEdits()
{
    // Scroll bars take no focus, so a number typed into a box of this group may still wait for
    // its edit to finish when a bar moves: it counts, as if the edit had finished first.
    for (std::size_t i = 0; i < Boxes.size(); ++i) {
        if (!Boxes[i]->TakePendingEdit())
            continue;
        const QSignalBlocker quiet(Bars[i]);
        Bars[i]->setValue(controls::TextToInt(Boxes[i]->text()));
    }
}

void TMixerGroup::BarChange()
{
    session::RunHandler([this] {
        if (Session.Decoding)
            return;
        ApplyPendingEdits();
        for (std::size_t i = 0; i < Bars.size(); ++i) {
            const QString text = QString::number(Bars[i]->value());
            session::ChangeControl([&] { Boxes[i]->setText(text); });
        }
        for (int part : sysex::mixer::SendOrder)
            emit Change(part, Bars[static_cast<std::size_t>(part)]->value());
    });
}
