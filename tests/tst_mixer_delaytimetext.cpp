// The delay time as the mixer shows it, under each delay type and in the user's locale.

#include "mixer/DelayTimeText.h"
#include "sysex/MixerMessages.h"

#include <QLocale>
#include <QtTest>

class TestDelayTimeText : public QObject
{
    Q_OBJECT

private slots:
    void delayTimeTexts_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("text");
        const int shortPositions[] = {0, 1, 19, 20, 21, 35, 36, 75, 76, 77, 120};
        const char *shortTexts[]
            = {"0.1", "0.2", "2.0", "2.5", "3.0", "10.0", "11", "50", "55", "60", "275"};
        for (std::size_t i = 0; i < std::size(shortPositions); ++i)
            QTest::addRow("short %d", shortPositions[i])
                << 0 << shortPositions[i] << QString::fromLatin1(shortTexts[i]);
        const int longPositions[]
            = {0, 1, 60, 61, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 120};
        const char *longTexts[] = {"200", "205", "500", "510", "1000", "!=", "!-3", "!=.",
                                   "!-",  "!3",  "!-.", "!",   "o3",   "!.", "o"};
        for (std::size_t i = 0; i < std::size(longPositions); ++i) {
            QTest::addRow("long %d", longPositions[i])
                << 1 << longPositions[i] << QString::fromLatin1(longTexts[i]);
            QTest::addRow("no type %d", longPositions[i])
                << -1 << longPositions[i] << QString::fromLatin1(longTexts[i]);
        }
        QTest::newRow("below the range") << 0 << -1 << QString();
        QTest::newRow("above the range") << 1 << 121 << QString();
    }
    void delayTimeTexts()
    {
        QFETCH(int, type);
        QFETCH(int, position);
        QFETCH(QString, text);
        QCOMPARE(DelayTimeText(type, position, QStringLiteral(".")), text);
    }

    void delayTimeTextsFollowTheLocale()
    {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        QCOMPARE(DelayTimeText(0, 0), QStringLiteral("0,1"));
        QCOMPARE(DelayTimeText(0, 35), QStringLiteral("10,0"));
        QCOMPARE(DelayTimeText(0, 36), QStringLiteral("11"));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(DelayTimeText(0, 20), QStringLiteral("2.5"));
        QLocale::setDefault(saved);
    }

    void delayTimeTextsAreIncreasingUnderShort()
    {
        double previous = 0;
        for (int position = 0; position <= sysex::mixer::DelayTimeMaximum; ++position) {
            const double value = DelayTimeText(0, position, QStringLiteral(".")).toDouble();
            QVERIFY2(value > previous, qPrintable(QString::number(position)));
            previous = value;
        }
    }
};

QTEST_GUILESS_MAIN(TestDelayTimeText)
#include "tst_mixer_delaytimetext.moc"
