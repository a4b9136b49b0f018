// The receive log keeps every word it is given and shows only the newest that fit its line.

#include "controls/ReceiveLog.h"

#include <QSignalSpy>
#include <QtTest>

class TestReceiveLog : public QObject
{
    Q_OBJECT

private slots:
    void keepsTheWholeTextAndShowsItsTail()
    {
        TReceiveLog log(QStringLiteral("0"));
        log.setGeometry(0, 0, 188, 20);
        QCOMPARE(log.Text(), QStringLiteral("0"));
        QCOMPARE(log.property("text").toString(), QStringLiteral("0"));
        QCOMPARE(log.Tail(), QStringLiteral("0"));
        QSignalSpy changes(&log, &TReceiveLog::TextChanged);
        QString expected = QStringLiteral("0");
        for (int i = 0; i < 10000; ++i) {
            log.Append(QLatin1StringView(" Common"));
            expected += QStringLiteral(" Common");
        }
        QCOMPARE(log.Text(), expected);
        QCOMPARE(changes.size(), 10000);
        QCOMPARE(changes.back().front().toString(), expected);
        // Enough to fill the line, and no more than it can show even in its narrowest
        // characters.
        QVERIFY(expected.endsWith(log.Tail()));
        QVERIFY(log.fontMetrics().horizontalAdvance(log.Tail()) > log.width());
        QVERIFY(log.Tail().size() < 188);
        QVERIFY(!log.grab().isNull());
    }

    void aWiderLineShowsMore()
    {
        TReceiveLog log(QString(1000, QLatin1Char('x')));
        log.resize(50, 20);
        const qsizetype narrow = log.Tail().size();
        log.resize(400, 20);
        QVERIFY(log.Tail().size() > narrow);
        log.SetText(QStringLiteral("0"));
        QCOMPARE(log.Tail(), QStringLiteral("0"));
    }
};

QTEST_MAIN(TestReceiveLog)
#include "tst_controls_receivelog.moc"
