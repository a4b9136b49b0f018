// Qt's own options on the command line: every one the program lets through for QApplication is
// taken out of the arguments by a real QApplication, on the X11 platform (whose options a desktop
// may pass to any program), so that none reaches the program as an unknown option.

#include "app/CommandLine.h"

#include "support/XvfbRun.h"
#include <QApplication>

#include <QProcess>
#include <QtTest>

#include <cstring>

namespace {
// Started with this first, the test makes a QApplication of the arguments and prints, one a
// line, what it left of them.
constexpr char QtTakes[] = "--qt-takes";
} // namespace

class TestQtOptions : public QObject
{
    Q_OBJECT

private slots:
    void everyOptionLetThroughIsTakenByQt()
    {
        // -platform and -display need values that work; they come first, with those.
        QStringList arguments {"-platform", "xcb"};
        int i = 0;
        for (const TQtOption &option : QtOwnOptions()) {
            const QString name = QLatin1String(++i % 2 ? "-" : "--") + option.Name;
            if (option.Name == "display" || option.Name == "platform")
                continue;
            arguments << name;
            if (option.TakesValue)
                arguments << QStringLiteral("x");
            if (option.TakesJoinedValue)
                arguments << name + "=x";
        }
        QCOMPARE(ParseCommandLine(arguments).ExitStatus, std::nullopt);

        QProcess program;
        program.start(QStringLiteral("xvfb-run"),
                      XvfbRunOptions()
                          + QStringList {"sh", "-c",
                                         QStringLiteral(R"(exec "$0" %1 -display "$DISPLAY" "$@")")
                                             .arg(QtTakes),
                                         QCoreApplication::applicationFilePath()}
                          + arguments + QStringList {"END"});
        QVERIFY2(program.waitForFinished(60000), "xvfb-run (package xvfb) did not end");
        QVERIFY2(program.exitCode() == 0, program.readAllStandardError().constData());
        QCOMPARE(QString::fromLocal8Bit(program.readAllStandardOutput()), QString("END\n"));
    }
};

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], QtTakes) == 0) {
        QApplication application(argc, argv);
        for (const QString &argument : QCoreApplication::arguments().mid(2))
            std::printf("%s\n", qPrintable(argument));
        return 0;
    }
    QCoreApplication application(argc, argv);
    TestQtOptions test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_app_qtoptions.moc"
