// One mixer group on its own: its rows keep their places in the panel that holds it, and a bar
// move is reported as the eight parts' positions in sending order, ended by a slot that fails.

#include "controls/EditBox.h"
#include "midi/MidiError.h"
#include "mixer/MixerGroup.h"
#include "session/ErrorPolicy.h"
#include "support/ErrorRecorder.h"

#include <QScrollBar>
#include <QtTest>

#include <utility>
#include <vector>

class TestMixerGroup : public QObject
{
    Q_OBJECT

    TMixerSession Session;
    QWidget Panel;
    TMixerGroup *Group = new TMixerGroup(sysex::mixer::TSendGroup::Level, Session, &Panel,
                                         {17, 16, 6, 18, 30, 52, 326});

private slots:
    void rowsKeepTheirPlacesInThePanel()
    {
        for (int suffix = 1; suffix <= 8; ++suffix) {
            const int top = 17 + (8 - suffix) * 16;
            const auto inPanel = [this](QWidget *control) {
                return QRect(control->mapTo(&Panel, QPoint(0, 0)), control->size());
            };
            QCOMPARE(inPanel(Group->Box(suffix)), QRect(18, top, 30, 15));
            QCOMPARE(inPanel(Group->Bar(suffix)), QRect(52, top + 1, 326, 13));
        }
    }

    void aBarMoveReportsEveryPartInSendingOrder()
    {
        std::vector<std::pair<int, int>> changes;
        TErrorRecorder recorder;
        recorder.RecordErrors();
        const QMetaObject::Connection record
            = connect(Group, &TMixerGroup::Change, this, [&](int part, int position) {
                  changes.emplace_back(part, position);
                  if (part == 3 && position == 7)
                      throw midi::EMidiError("refused");
              });
        Group->ConnectSendHandlers();
        Group->Bar(1)->setValue(90);
        QCOMPARE(Group->Box(1)->text(), QStringLiteral("90"));
        QCOMPARE(
            changes,
            (std::vector<std::pair<int, int>> {
                {1, 100}, {2, 100}, {3, 100}, {4, 100}, {5, 100}, {6, 100}, {7, 100}, {0, 90}}));
        // A failing part ends the handler there, with one error.
        changes.clear();
        Group->Bar(4)->setValue(7);
        QCOMPARE(changes, (std::vector<std::pair<int, int>> {{1, 100}, {2, 100}, {3, 7}}));
        QCOMPARE(recorder.Errors, std::vector<std::string> {"refused"});
        // While the decoder fills the controls nothing is reported.
        changes.clear();
        Session.Decoding = true;
        Group->Box(5)->setText(QStringLiteral("12"));
        QCOMPARE(Group->Bar(5)->value(), 12);
        QVERIFY(changes.empty());
        Session.Decoding = false;
        disconnect(record);
        TErrorRecorder::StopRecordingErrors();
    }
};

QTEST_MAIN(TestMixerGroup)
#include "tst_mixer_group.moc"
