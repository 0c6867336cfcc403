#include "commandline.h"

#include <QtTest>

class TestCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decidesBeforeAnyWindow_data();
    void decidesBeforeAnyWindow();
};

// What each command line leads to, and the start of what it prints.
void TestCommandLine::decidesBeforeAnyWindow_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("printed");
    const int run = CommandLine::Run;
    const int error = CommandLine::Error;
    const QString none;
    QTest::newRow("nothing opens the window") << QStringList{} << run << 0 << none;
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << int(CommandLine::Help) << 0
                            << QStringLiteral("Usage: tabro-kalvor [options]\n");
    QTest::newRow("-h") << QStringList{QStringLiteral("-h")} << int(CommandLine::Help) << 0
                        << QStringLiteral("Usage: tabro-kalvor");
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << int(CommandLine::Version) << 0
                               << QStringLiteral("tabro-kalvor 1.00 (build 1156)\n");
    QTest::newRow("-v") << QStringList{QStringLiteral("-v")} << int(CommandLine::Version) << 0
                        << QStringLiteral("tabro-kalvor 1.00");
    QTest::newRow("Qt's -platform") << QStringList{QStringLiteral("-platform"), QStringLiteral("offscreen")} << run << 0 << none;
    QTest::newRow("Qt's -style=") << QStringList{QStringLiteral("-style=Fusion")} << run << 0 << none;
    QTest::newRow("Qt's --style and -reverse") << QStringList{QStringLiteral("--style"), QStringLiteral("Fusion"), QStringLiteral("-reverse")} << run << 0 << none;
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--frobnicate")} << error << 2
                                    << QStringLiteral("tabro-kalvor: unknown option 'frobnicate'; try tabro-kalvor --help\n");
    QTest::newRow("unknown short option") << QStringList{QStringLiteral("-x")} << error << 2 << QStringLiteral("tabro-kalvor: unknown option 'x'");
    QTest::newRow("a stray argument") << QStringList{QStringLiteral("game.txt")} << error << 2
                                      << QStringLiteral("tabro-kalvor: unexpected argument 'game.txt'");
    QTest::newRow("Qt option without its value") << QStringList{QStringLiteral("-platform")} << error << 2
                                                 << QStringLiteral("tabro-kalvor: missing value after '-platform'");
    const int exportPage = int(CommandLine::ExportPage);
    QTest::newRow("--export-page") << QStringList{QStringLiteral("--export-page"), QStringLiteral("www")} << exportPage
                                   << 0 << none;
    QTest::newRow("--export-page with --broker")
        << QStringList{QStringLiteral("--export-page=www"), QStringLiteral("--broker"), QStringLiteral("wss://b:9001")}
        << exportPage << 0 << none;
    QTest::newRow("--export-page without a folder") << QStringList{QStringLiteral("--export-page")} << error << 2
                                                    << QStringLiteral("tabro-kalvor: missing value after '--export-page'");
    QTest::newRow("--broker alone") << QStringList{QStringLiteral("--broker"), QStringLiteral("wss://b:9001")} << error
                                    << 2 << QStringLiteral("tabro-kalvor: --broker goes with --export-page");
}

void TestCommandLine::decidesBeforeAnyWindow()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QFETCH(int, status);
    QFETCH(QString, printed);
    const CommandLine line = CommandLine::parse(QStringList{QStringLiteral("/usr/games/tabro-kalvor")} + arguments);
    QCOMPARE(int(line.action), action);
    QCOMPARE(line.status, status);
    QVERIFY2(line.text.startsWith(printed), qPrintable(line.text));
    QCOMPARE(line.text.isEmpty(), printed.isEmpty());
    if (action == CommandLine::Error)
        QCOMPARE(line.text.count(QLatin1Char('\n')), 1); // one line
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
