// The undo histories the windows share: the active stack follows the selected part and the
// window in front, whichever of the menu and the window came first, and the Edit menu names the
// step it would take.

#include "controls/UndoCoordinator.h"
#include "controls/UndoSteps.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QUndoGroup>
#include <QUndoStack>
#include <QtTest>

#include <memory>

class TestUndoCoordinator : public QObject
{
    Q_OBJECT

private slots:
    void activeStackFollowsPartAndWindow()
    {
        TUndoCoordinator undo;
        QDialog mixer;
        undo.FollowWindow(mixer, undo.MixerStack());
        QWidget main;
        QMenu *edit = undo.EditMenu(&main);
        auto *undoAction = edit->findChild<QAction *>("Undo");
        QVERIFY(mixer.actions().contains(undoAction));
        QCOMPARE(undo.Group().activeStack(), &undo.PartStack(0));

        int value = 0;
        undo.PartStack(4).push(new TUndoStep(
            "Level Tone 1", [&] { value = 0; }, [&] { value = 1; }));
        undo.SelectPart(4);
        QCOMPARE(undoAction->text(), QString("Undo Level Tone 1"));
        QVERIFY(undoAction->isEnabled());
        mixer.show();
        QCOMPARE(undo.Group().activeStack(), &undo.MixerStack());
        QCOMPARE(undoAction->text(), QString("Undo"));
        QVERIFY(!undoAction->isEnabled());
        mixer.hide();
        QCOMPARE(undo.Group().activeStack(), &undo.PartStack(4));
        undoAction->trigger();
        QCOMPARE(value, 0);
        QCOMPARE(edit->findChild<QAction *>("Redo")->text(), QString("Redo Level Tone 1"));
    }

    // A window that outlives the histories changes nothing when it is shown.
    void windowOutlivesTheHistories()
    {
        QDialog mixer;
        {
            TUndoCoordinator undo;
            undo.FollowWindow(mixer, undo.MixerStack());
        }
        mixer.show();
        mixer.hide();
    }
};

QTEST_MAIN(TestUndoCoordinator)
#include "tst_controls_undocoordinator.moc"
