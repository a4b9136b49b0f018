// Box texts read as numbers.

#include "controls/TextToInt.h"

#include <QtTest>

class TestTextToInt : public QObject
{
    Q_OBJECT
private slots:
    void textToInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "100" << 100;
        QTest::newRow("negative") << "-70" << -70;
        QTest::newRow("plus") << "+5" << 5;
        QTest::newRow("leading blanks") << "   42" << 42;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("blanks only") << "   " << 0;
        QTest::newRow("lone minus") << "-" << 0;
        QTest::newRow("letters") << "abc" << 0;
        QTest::newRow("trailing character") << "12a" << 0;
        QTest::newRow("trailing blank") << "12 " << 0;
        QTest::newRow("dollar hex") << "$1F" << 31;
        QTest::newRow("x hex") << "x10" << 16;
        QTest::newRow("X hex") << "XfF" << 255;
        QTest::newRow("0x hex") << "0x7F" << 127;
        QTest::newRow("0X hex") << "0X10" << 16;
        QTest::newRow("sign before hex") << "-$10" << 0;
        QTest::newRow("hex without digits") << "$" << 0;
        QTest::newRow("largest") << "2147483647" << 2147483647;
        QTest::newRow("smallest") << "-2147483648" << int(-2147483647 - 1);
        QTest::newRow("too large") << "2147483648" << 0;
        QTest::newRow("very long") << QString(5000, '9') << 0;
        QTest::newRow("not latin") << QString::fromUtf8("1\u0662") << 0;
    }
    void textToInt()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(controls::TextToInt(text), value);
    }

    // The device ID box reads decimal only: "$20" is no number there.
    void decimalTextToInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "20" << 20;
        QTest::newRow("leading blanks") << "  17" << 17;
        QTest::newRow("signs") << "-3" << -3;
        QTest::newRow("dollar hex") << "$20" << 0;
        QTest::newRow("0x hex") << "0x20" << 0;
        QTest::newRow("x hex") << "x1" << 0;
        QTest::newRow("trailing letter") << "2a" << 0;
        QTest::newRow("too large") << "2147483648" << 0;
    }
    void decimalTextToInt()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(controls::DecimalTextToInt(text), value);
    }
};

QTEST_GUILESS_MAIN(TestTextToInt)
#include "tst_controls_texttoint.moc"
