#include "CommandLine.h"

#include <QtTest>

// The options of the command line and what they leave of the two positional
// arguments (whose meaning StartupOptionsTest checks).
class CommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void optionsAndPositionalArguments_data();
    void optionsAndPositionalArguments();
};

Q_DECLARE_METATYPE(CommandLine::Request)

void CommandLineTest::optionsAndPositionalArguments_data()
{
    using Request = CommandLine::Request;
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Request>("request");
    QTest::addColumn<QStringList>("positional");

    const QString url = QStringLiteral("https://school.test/login");
    QTest::newRow("none") << QStringList{} << Request::run << QStringList{};
    QTest::newRow("url and log") << QStringList{url, "a.log"} << Request::run
                                 << QStringList{url, "a.log"};
    QTest::newRow("--help") << QStringList{"--help"} << Request::help << QStringList{};
    QTest::newRow("-h") << QStringList{"-h"} << Request::help << QStringList{};
    QTest::newRow("--version") << QStringList{"--version"} << Request::version << QStringList{};
    QTest::newRow("an option after the url")
        << QStringList{url, "--version"} << Request::version << QStringList{url};
    QTest::newRow("help wins over version, wherever they stand")
        << QStringList{"--version", "--help", "--version"} << Request::help << QStringList{};
    QTest::newRow("-- ends the options")
        << QStringList{"--", "--help", "-h"} << Request::run << QStringList{"--help", "-h"};
    QTest::newRow("only the first -- is dropped")
        << QStringList{"--", "--", "x.log"} << Request::run << QStringList{"--", "x.log"};
    QTest::newRow("options before -- still count")
        << QStringList{"--help", "--", url} << Request::help << QStringList{url};
    QTest::newRow("other dashes are positional")
        << QStringList{"-", "-x.log"} << Request::run << QStringList{"-", "-x.log"};
    QTest::newRow("options match whole words only")
        << QStringList{"--helpful", "--version=2"} << Request::run
        << QStringList{"--helpful", "--version=2"};
}

void CommandLineTest::optionsAndPositionalArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(CommandLine::Request, request);
    QFETCH(QStringList, positional);

    const CommandLine commandLine =
        CommandLine::parse(QStringList{QStringLiteral("/usr/bin/lectern")} + arguments);
    QCOMPARE(commandLine.request, request);
    QCOMPARE(commandLine.positional, positional);
}

QTEST_APPLESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
