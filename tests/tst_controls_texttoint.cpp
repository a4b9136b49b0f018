// Box texts read as numbers.

#include "controls/TextToInt.h"

#include <QtTest>

class TestTextToInt : public QObject
{
    Q_OBJECT
private slots:
    // Each text read by both: the device ID box reads decimal only, so "$20" is no number there.
    void textToInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("decimal");
        QTest::newRow("plain") << "100" << 100 << 100;
        QTest::newRow("negative") << "-70" << -70 << -70;
        QTest::newRow("plus") << "+5" << 5 << 5;
        QTest::newRow("leading blanks") << "   42" << 42 << 42;
        QTest::newRow("empty") << "" << 0 << 0;
        QTest::newRow("blanks only") << "   " << 0 << 0;
        QTest::newRow("lone minus") << "-" << 0 << 0;
        QTest::newRow("letters") << "abc" << 0 << 0;
        QTest::newRow("trailing character") << "12a" << 0 << 0;
        QTest::newRow("trailing blank") << "12 " << 0 << 0;
        QTest::newRow("dollar hex") << "$1F" << 31 << 0;
        QTest::newRow("x hex") << "x10" << 16 << 0;
        QTest::newRow("X hex") << "XfF" << 255 << 0;
        QTest::newRow("0x hex") << "0x7F" << 127 << 0;
        QTest::newRow("0X hex") << "0X10" << 16 << 0;
        QTest::newRow("sign before hex") << "-$10" << 0 << 0;
        QTest::newRow("hex without digits") << "$" << 0 << 0;
        QTest::newRow("largest") << "2147483647" << 2147483647 << 2147483647;
        QTest::newRow("smallest") << "-2147483648" << int(-2147483647 - 1) << int(-2147483647 - 1);
        QTest::newRow("too large") << "2147483648" << 0 << 0;
        QTest::newRow("very long") << QString(5000, '9') << 0 << 0;
        QTest::newRow("not latin") << QString::fromUtf8("1\u0662") << 0 << 0;
    }
    void textToInt()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QFETCH(int, decimal);
        QCOMPARE(controls::TextToInt(text), value);
        QCOMPARE(controls::DecimalTextToInt(text), decimal);
    }
};

QTEST_GUILESS_MAIN(TestTextToInt)
#include "tst_controls_texttoint.moc"
