#include "StartupOptions.h"
#include "ShellTestSupport.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QWebSettings>
#include <QWidget>
#include <QtTest>

class StartupOptionsTest : public QObject
{
    Q_OBJECT

private slots:
    void defaultsWithoutSettingsFile();
    void commandLineTable_data();
    void commandLineTable();
    void onlyExactDebugTurnsOnDeveloperExtras_data();
    void onlyExactDebugTurnsOnDeveloperExtras();
    void nonNumericSizeCountsAsZero();
    void readingNeverWritesTheSettingsFile();
    void windowIsAToolWindowOnTopWithTheConfiguredSize();
    void hugeSizeIsCappedAtTheDesktop();
};

void StartupOptionsTest::defaultsWithoutSettingsFile()
{
    ScratchDirectory scratch;
    const auto settings = openDefaults(scratch.path());
    const StartupOptions options = readStartupOptions(*settings, {});
    // The service's login page over HTTPS, on the host the build names.
    const QUrl start(options.startUrl);
    QCOMPARE(start.scheme(), QStringLiteral("https"));
    QCOMPARE(start.host(), QStringLiteral(LECTERN_DEFAULT_HOST));
    QCOMPARE(start.path(), QStringLiteral("/login"));
    QCOMPARE(options.startUrl, QStringLiteral("https://%1/login").arg(start.host()));
    QCOMPARE(options.logFile, QStringLiteral("quillet.log"));
    QCOMPARE(options.width, 330);
    QCOMPARE(options.height, 400);
    QVERIFY(!options.developerExtras);
}

void StartupOptionsTest::commandLineTable_data()
{
    QTest::addColumn<QStringList>("positional");
    QTest::addColumn<QString>("startUrl");
    QTest::addColumn<QString>("logFile");
    QTest::addColumn<bool>("logFileFromCommandLine");

    QTest::newRow("none: both from settings") << QStringList{} << "http://set.test/x"
                                              << "set.log" << false;
    QTest::newRow("one: url, built-in log name")
        << QStringList{"http://arg.test/"} << "http://arg.test/"
        << "quillet.log" << false;
    QTest::newRow("two: url and log")
        << QStringList{"http://arg.test/", "arg.log"} << "http://arg.test/"
        << "arg.log" << true;
    QTest::newRow("three: all ignored")
        << QStringList{"http://arg.test/", "arg.log", "extra"} << "http://set.test/x"
        << "set.log" << false;
    QTest::newRow("four: all ignored") << QStringList{"a", "b", "c", "d"} << "http://set.test/x"
                                       << "set.log" << false;
}

void StartupOptionsTest::commandLineTable()
{
    QFETCH(QStringList, positional);
    QFETCH(QString, startUrl);
    QFETCH(QString, logFile);
    QFETCH(bool, logFileFromCommandLine);

    ScratchDirectory scratch;
    const auto settings = openDefaults(scratch.path());
    settings->setValue(QStringLiteral("url"), QStringLiteral("http://set.test/x"));
    settings->setValue(QStringLiteral("logfile"), QStringLiteral("set.log"));

    const StartupOptions options = readStartupOptions(*settings, positional);
    QCOMPARE(options.startUrl, startUrl);
    QCOMPARE(options.logFile, logFile);
    QCOMPARE(options.logFileFromCommandLine, logFileFromCommandLine);
}

void StartupOptionsTest::onlyExactDebugTurnsOnDeveloperExtras_data()
{
    QTest::addColumn<QString>("environment");
    QTest::addColumn<bool>("extras");
    QTest::newRow("debug") << "debug" << true;
    QTest::newRow("Debug") << "Debug" << false;
    QTest::newRow("DEBUG") << "DEBUG" << false;
    QTest::newRow("release") << "release" << false;
    QTest::newRow("quoted, trailing space") << "\"debug \"" << false;
    QTest::newRow("longer word") << "debugger" << false;
}

void StartupOptionsTest::onlyExactDebugTurnsOnDeveloperExtras()
{
    QFETCH(QString, environment);
    QFETCH(bool, extras);

    ScratchDirectory scratch;
    // Written as raw text in the file, as a user would.
    QVERIFY(writeDefaults(scratch.path(), "environment=" + environment.toUtf8()));

    const auto settings = openDefaults(scratch.path());
    QCOMPARE(readStartupOptions(*settings, {}).developerExtras, extras);
}

void StartupOptionsTest::nonNumericSizeCountsAsZero()
{
    ScratchDirectory scratch;
    QVERIFY(writeDefaults(scratch.path(), "width=wide\nheight=12px"));

    const auto settings = openDefaults(scratch.path());
    const StartupOptions options = readStartupOptions(*settings, {});
    QCOMPARE(options.width, 0);
    QCOMPARE(options.height, 0);
}

void StartupOptionsTest::readingNeverWritesTheSettingsFile()
{
    ScratchDirectory scratch;
    {
        const auto settings = openDefaults(scratch.path());
        readStartupOptions(*settings, {});
    }
    QVERIFY(!QFile::exists(scratch.file(QStringLiteral("settings.ini"))));
}

void StartupOptionsTest::windowIsAToolWindowOnTopWithTheConfiguredSize()
{
    QWidget window;
    StartupOptions options;
    options.width = 800;
    options.height = 600;
    options.developerExtras = true;
    presentMainWindow(window, options);

    QVERIFY(window.isVisible());
    QCOMPARE(window.size(), QSize(800, 600));
    QCOMPARE(window.windowType(), Qt::Tool);
    QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(QWebSettings::globalSettings()->testAttribute(QWebSettings::DeveloperExtrasEnabled));
}

void StartupOptionsTest::hugeSizeIsCappedAtTheDesktop()
{
    ScratchDirectory scratch;
    QVERIFY(writeDefaults(scratch.path(), "width=99999999\nheight=99999999"));
    const auto settings = openDefaults(scratch.path());
    const StartupOptions options = readStartupOptions(*settings, {});

    QWidget window;
    presentMainWindow(window, options);
    // Capped like the page's sizes: at the desktop, all screens together.
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    QCOMPARE(window.size(), desktop.size());
    // Only what is too large is capped.
    StartupOptions wide = options;
    wide.height = 300;
    presentMainWindow(window, wide);
    QCOMPARE(window.size(), QSize(desktop.width(), 300));
}

QTEST_MAIN(StartupOptionsTest)
#include "StartupOptionsTest.moc"
