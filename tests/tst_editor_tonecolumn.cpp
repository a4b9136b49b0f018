// The tone columns against the tone table: every row's control in each column of the main
// window, where it lies, and a column on its own, which starts as the table says and reports
// each change as one offset and value without knowing where it goes.

#include "controls/DropDownList.h"
#include "controls/EditBox.h"
#include "controls/EnvelopeImage.h"
#include "controls/RadioGroup.h"
#include "controls/UpDown.h"
#include "editor/ToneColumn.h"
#include "midi/SysExText.h"
#include "session/ErrorPolicy.h"
#include "support/EditorTestSupport.h"
#include "support/MainWindowFixture.h"
#include "sysex/Enveloppe.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QtTest>

#include <stdexcept>

using sysex::TControlKind;
using sysex::ToneTable;

namespace {
QString NameOf(const char *stem, int tone)
{
    return QString("%1Tone%2").arg(QLatin1String(stem)).arg(tone);
}

QRect RectOf(const sysex::TPlace &p, int dx)
{
    return {p.Left + dx, p.Top, p.Width, p.Height};
}

bool HasKind(const QObject *control, TControlKind kind)
{
    switch (kind) {
    case TControlKind::Bevel:
        return qobject_cast<const QFrame *>(control);
    case TControlKind::CheckBox:
        return qobject_cast<const QCheckBox *>(control);
    case TControlKind::RadioGroup:
        return qobject_cast<const TRadioGroup *>(control);
    case TControlKind::ScrollBar:
        return qobject_cast<const QScrollBar *>(control);
    case TControlKind::TrackBar:
        return qobject_cast<const QSlider *>(control);
    case TControlKind::WaveList:
    case TControlKind::FilterList:
        return qobject_cast<const TDropDownList *>(control);
    case TControlKind::DepthEdit:
        return qobject_cast<const TEditBox *>(control);
    case TControlKind::EnvelopeImage:
        return qobject_cast<const TEnvelopeImage *>(control);
    }
    return false;
}

struct TSent
{
    int Offset;
    std::string Value;
    bool operator==(const TSent &) const = default;
};
} // namespace

class TestToneColumn : public TMainWindowFixture
{
    Q_OBJECT

    // A column on its own, its changes recorded.
    struct TLoneColumn
    {
        explicit TLoneColumn(int tone)
            : Column(tone, &Parent)
        {
            Column.AttachEnvelopes(Amp, Pitch, Filter);
            QObject::connect(&Column, &TToneColumn::ParameterChange,
                             [this](int offset, const std::string &value) {
                                 Sent.push_back({offset, value});
                             });
        }
        template<class T>
        T *Find(const char *stem)
        {
            return FindControl<T>(Column, NameOf(stem, Column.Tone()));
        }
        // The images draw these: they outlive the column.
        sysex::TEnveloppe Amp {250, 56, 0, false};
        sysex::TEnveloppe Pitch {250, 56, 28, true};
        sysex::TEnveloppe Filter {250, 56, 0, true};
        QWidget Parent;
        TToneColumn Column;
        std::vector<TSent> Sent;
    };

private slots:
    void init() { StartWindow(); }
    void cleanup() { StopWindow(); }

    // Each row's control, label and up-down buttons in every column, of the row's kind, at the
    // row's place shifted by the column's, in the client area.
    void everyRowInEveryColumn()
    {
        auto *client = Find<QWidget>("ClientArea");
        const auto place
            = [&](const QWidget *w) { return QRect(w->mapTo(client, QPoint(0, 0)), w->size()); };
        for (int tone = 1; tone <= 4; ++tone) {
            const int dx = sysex::ColumnPitch * (tone - 1);
            for (const sysex::TToneControl &row : ToneTable) {
                auto *control = Find<QWidget>(NameOf(row.Stem, tone));
                QVERIFY2(HasKind(control, row.Kind), row.Stem);
                QCOMPARE(place(control), RectOf(row.Place, dx));
                if (row.Label.Stem) {
                    auto *label = Find<QLabel>(NameOf(row.Label.Stem, tone));
                    QCOMPARE(label->text(), QString::fromLatin1(row.Label.Caption));
                    QCOMPARE(place(label).topLeft(),
                             QPoint(row.Label.Place.Left + dx, row.Label.Place.Top));
                    if (row.Label.Place.Width > 0)
                        QCOMPARE(label->size(),
                                 QSize(row.Label.Place.Width, row.Label.Place.Height));
                }
                if (row.CompanionStem) {
                    sysex::TPlace companion = row.CompanionPlace;
                    if (tone == 4)
                        companion.Width = sysex::LastToneUpDownWidth;
                    QCOMPARE(place(Find<TUpDown>(NameOf(row.CompanionStem, tone))),
                             RectOf(companion, dx));
                }
            }
        }
    }

    // Before anything is received a column shows the table's start values, hints, captions,
    // items and ranges.
    void startsAsTheTableSays()
    {
        TLoneColumn lone(3);
        for (const sysex::TToneControl &row : ToneTable) {
            auto *control = lone.Find<QWidget>(row.Stem);
            const sysex::TToneParam &param = row.Param;
            if (row.Kind != TControlKind::EnvelopeImage && row.Kind != TControlKind::Bevel)
                QCOMPARE(control->toolTip(), QString::fromLatin1(row.Hint ? row.Hint : ""));
            switch (row.Kind) {
            case TControlKind::CheckBox:
                QCOMPARE(static_cast<QCheckBox *>(control)->isChecked(), row.Start != 0);
                QCOMPARE(static_cast<QCheckBox *>(control)->text(),
                         QString::fromLatin1(row.Caption).replace("%1", "3"));
                break;
            case TControlKind::RadioGroup: {
                auto *group = static_cast<TRadioGroup *>(control);
                QCOMPARE(group->ItemIndex(), row.Start);
                QCOMPARE(group->title(), QString::fromLatin1(row.Caption));
                QCOMPARE(group->Count(), row.ItemCount);
                for (int i = 0; i < row.ItemCount; ++i)
                    QCOMPARE(group->Item(i)->text(), QString::fromLatin1(row.Items[i]));
                break;
            }
            case TControlKind::WaveList:
            case TControlKind::FilterList: {
                auto *list = static_cast<TDropDownList *>(control);
                QCOMPARE(list->ItemIndex(), row.Start);
                QCOMPARE(list->count(), param.ControlMax + 1);
                for (int i = 0; i < row.ItemCount; ++i)
                    QCOMPARE(list->itemText(i), QString::fromLatin1(row.Items[i]));
                break;
            }
            case TControlKind::DepthEdit:
                QCOMPARE(static_cast<QLineEdit *>(control)->text(), QString::number(row.Start));
                QCOMPARE(lone.Find<TUpDown>(row.CompanionStem)->Position(), row.Start);
                QCOMPARE(lone.Find<TUpDown>(row.CompanionStem)->Min(), param.ControlMin);
                QCOMPARE(lone.Find<TUpDown>(row.CompanionStem)->Max(), param.ControlMax);
                break;
            case TControlKind::ScrollBar:
            case TControlKind::TrackBar: {
                auto *bar = static_cast<QAbstractSlider *>(control);
                QCOMPARE(bar->value(), row.Start);
                QCOMPARE(bar->minimum(), param.ControlMin);
                QCOMPARE(bar->maximum(), param.ControlMax);
                if (row.Step > 0)
                    QCOMPARE(bar->singleStep(), row.Step);
                break;
            }
            case TControlKind::Bevel:
            case TControlKind::EnvelopeImage:
                break;
            }
        }
        QVERIFY(lone.Sent.empty());
    }

    // Every control moved to the end of its range away from its start reports its offset and the
    // byte the table gives for that value, once.
    void eachChangeIsOneOffsetAndValue()
    {
        TLoneColumn lone(2);
        for (const sysex::TToneControl &row : ToneTable) {
            const sysex::TToneParam &param = row.Param;
            auto *control = lone.Find<QWidget>(row.Stem);
            lone.Sent.clear();
            const int far = row.Start == param.ControlMax ? param.ControlMin : param.ControlMax;
            std::vector<TSent> expected {{param.Offset, midi::HexByte(param.ToByte(far))}};
            switch (row.Kind) {
            case TControlKind::CheckBox:
                static_cast<QCheckBox *>(control)->click();
                break;
            case TControlKind::RadioGroup:
                static_cast<TRadioGroup *>(control)->Item(param.ControlMax)->click();
                break;
            case TControlKind::WaveList:
            case TControlKind::FilterList:
                UserPick(static_cast<TDropDownList *>(control), param.ControlMax);
                if (row.Kind == TControlKind::WaveList)
                    expected = {{0x02, "03"}, {0x03, "0E 0B"}};
                break;
            case TControlKind::DepthEdit:
                static_cast<QLineEdit *>(control)->setText(QString::number(param.ControlMax));
                break;
            case TControlKind::ScrollBar:
            case TControlKind::TrackBar:
                static_cast<QAbstractSlider *>(control)->setValue(far);
                break;
            case TControlKind::Bevel:
            case TControlKind::EnvelopeImage:
                expected.clear();
                break;
            }
            QVERIFY2(lone.Sent == expected, row.Stem);
        }
    }

    // A receiver that throws ends the showing of a block at that control: the later values are
    // not shown.
    void failingReceiverEndsTheShowing()
    {
        TLoneColumn lone(1);
        QObject::connect(&lone.Column, &TToneColumn::ParameterChange,
                         [](int, const std::string &) { throw std::runtime_error("gone"); });
        const int level = sysex::ToneRowOfOffset(sysex::ToneParam::Level.Offset);
        const int pan = sysex::ToneRowOfOffset(sysex::ToneParam::Pan.Offset);
        const std::vector<sysex::patch::TToneValue> values {{level, 90}, {pan, 20}};
        QVERIFY_THROWS_EXCEPTION(std::exception, lone.Column.Show(values));
        QCOMPARE(lone.Find<QScrollBar>("BarLevel")->value(), 90);
        QCOMPARE(lone.Find<QScrollBar>("BarPan")->value(), 0);
    }
};

QTEST_MAIN(TestToneColumn)
#include "tst_editor_tonecolumn.moc"
