// The patch's own name in the main window against the virtual instrument: the name a part
// answer brings is shown and sends nothing; a typed one goes to the part's temporary patch as
// one data set and is one undo step, leaving the patch list and the settings file alone; only
// the characters the instrument takes can be typed; Save Patch offers it as the file's name.

#include "controls/DropDownList.h"
#include "editor/PatchFileActions.h"
#include "support/MainWindowFixture.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

class TPatchNameTest : public TMainWindowFixture
{
    Q_OBJECT

private:
    QLineEdit *Box() { return Find<QLineEdit>("EditPatchName"); }
    void Name(std::uint8_t part, const char (&name)[13])
    {
        Instrument().Write({0x02, part, 0x00, 0x00},
                           std::span(reinterpret_cast<const std::uint8_t *>(name), 12));
    }
    QByteArray NameIn(std::uint8_t part)
    {
        const auto bytes = Instrument().Read({0x02, part, 0x00, 0x00}, 12);
        return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
    }
    void Type(const QString &text)
    {
        Box()->setFocus();
        Box()->selectAll();
        // One key for each character, those beyond ASCII included.
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, Box(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }

private slots:
    void init() { StartWindow(); }
    void cleanup() { StopWindow(); }

    void ShowsTypesAndUndoesTheName()
    {
        QCOMPARE(Box()->geometry(), QRect(4, 12, 96, 21));
        Name(2, "Moon Synth  ");
        const QStringList showing
            = SentBy([&] { Find<TRadioGroup>("RadioGroupSelectPart")->Item(2)->click(); });
        QCOMPARE(Box()->text(), QString("Moon Synth"));
        // The tone values' echo goes out as ever; nothing goes to the patch common block.
        QVERIFY(!showing.isEmpty());
        QCOMPARE(showing.filter("0B 12 02 02 00"), QStringList {});

        // Focus comes and goes only in a window that is active.
        Window->show();
        QVERIFY(QTest::qWaitForWindowActive(Window.get()));
        auto *list = Find<TDropDownList>("LBPatch");
        const QString listed = list->itemText(list->ItemIndex());
        Type("Night Pad");
        const QStringList typing = SentBy([&] { QTest::keyClick(Box(), Qt::Key_Return); });
        QCOMPARE(typing,
                 QStringList {"F0 41 10 00 0B 12 02 02 00 00 4E 69 67 68 74 20 50 61 64 20 "
                              "20 20"});
        QCOMPARE(NameIn(2), QByteArray("Night Pad   "));
        QCOMPARE(list->itemText(list->ItemIndex()), listed);
        QVERIFY(!QFile::exists("Ombrix.INI"));
        // Leaving the box sends a changed name, and nothing for one unchanged.
        QCOMPARE(SentBy([&] { Box()->clearFocus(); }), QStringList {});
        Type("Star");
        QCOMPARE(SentBy([&] { Box()->clearFocus(); }).size(), 1);
        QCOMPARE(NameIn(2), QByteArray("Star        "));

        auto *undo = Find<QAction>("Undo");
        QCOMPARE(undo->text(), QString("Undo Patch Name"));
        undo->trigger();
        QCOMPARE(NameIn(2), QByteArray("Night Pad   "));
        undo->trigger();
        QCOMPARE(NameIn(2), QByteArray("Moon Synth  "));
        QCOMPARE(Box()->text(), QString("Moon Synth"));
        QVERIFY2(Errors.empty(), Errors.empty() ? "" : Errors.front().c_str());
    }

    void TakesOnlyWhatTheInstrumentTakes_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("from space to brace") << " Az{}09!"
                                             << " Az{}09!";
        QTest::newRow("tilde and accent") << "Caf~\u00e9 Bar"
                                          << "Caf Bar";
        QTest::newRow("past 12") << "Synth Strings 2"
                                 << "Synth String";
    }
    void TakesOnlyWhatTheInstrumentTakes()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        Type(typed);
        QCOMPARE(Box()->text(), shown);
    }

    void SaveOffersTheName()
    {
        Name(0, "Glass/Keys  ");
        Find<TRadioGroup>("RadioGroupSelectPart")->Item(1)->click();
        Find<TRadioGroup>("RadioGroupSelectPart")->Item(0)->click();
        QString offered;
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            for (QWidget *top : QApplication::topLevelWidgets())
                if (auto *dialog = qobject_cast<QFileDialog *>(top);
                    dialog && dialog->isVisible()) {
                    offered = QFileInfo(dialog->selectedFiles().value(0)).fileName();
                    dialog->reject();
                }
        });
        answer.start(20);
        Window->PatchFiles().SavePatchClick();
        QCOMPARE(offered, QString("Glass_Keys.syx"));
    }
};

QTEST_MAIN(TPatchNameTest)
#include "tst_editor_patchname.moc"
