#include "FileLocations.h"
#include "ShellTestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QtTest>

class FileLocationsTest : public QObject
{
    Q_OBJECT

private slots:
    void settingsLieBesideTheProgram();
    void writableProgramFolderKeepsEverythingBesideIt();
    void perUserReadsSystemThenUserAndWritesTheUsersFile();
    void perUserDataFilesLieInTheUsersDataFolder();
};

void FileLocationsTest::settingsLieBesideTheProgram()
{
    QCOMPARE(settingsPath(QStringLiteral("/opt/lectern/bin")),
             QStringLiteral("/opt/lectern/bin/settings.ini"));
}

void FileLocationsTest::writableProgramFolderKeepsEverythingBesideIt()
{
    ScratchDirectory program;
    QVERIFY(writeDefaults(program.path(), "url=https://beside.test/\n"));
    const FileLocations locations = FileLocations::forProgram(program.path());
    QCOMPARE(locations.layout(), FileLocations::Layout::BesideProgram);

    const auto settings = locations.openSettings();
    QCOMPARE(QFileInfo(settings->fileName()).absoluteFilePath(),
             QFileInfo(program.file(QStringLiteral("settings.ini"))).absoluteFilePath());
    QCOMPARE(settings->value(QStringLiteral("defaults/url")).toString(),
             QStringLiteral("https://beside.test/"));
    // Relative names stay relative: the working directory, as always.
    QCOMPARE(locations.dataFile(QStringLiteral(".brq_cookies")), QStringLiteral(".brq_cookies"));
    QVERIFY(locations.prepareDataFolder());
}

void FileLocationsTest::perUserReadsSystemThenUserAndWritesTheUsersFile()
{
    ScratchDirectory root;
    const QString system = root.file(QStringLiteral("etc"));
    const QString user = root.file(QStringLiteral("config"));
    QVERIFY(QDir().mkpath(system + QStringLiteral("/brimora")));
    QVERIFY(QDir().mkpath(user + QStringLiteral("/brimora")));
    QVERIFY(writeDefaults(system + QStringLiteral("/brimora"),
                          "url=https://system.test/\nwidth=500\nreceiverPort=/dev/ttyUSB3\n"));
    QVERIFY(writeDefaults(user + QStringLiteral("/brimora"), "url=https://user.test/\n"));
    const QByteArray systemBefore =
        readText(system + QStringLiteral("/brimora/settings.ini")).toUtf8();

    const FileLocations locations =
        FileLocations::perUser(system, user, root.file(QStringLiteral("data/brimora")));
    QCOMPARE(locations.layout(), FileLocations::Layout::PerUser);
    {
        const auto settings = locations.openSettings();
        settings->beginGroup(QStringLiteral("defaults"));
        // Key by key: the user's url, the system's width and port.
        QCOMPARE(settings->value(QStringLiteral("url")).toString(),
                 QStringLiteral("https://user.test/"));
        QCOMPARE(settings->value(QStringLiteral("width")).toInt(), 500);
        QCOMPARE(settings->value(QStringLiteral("receiverPort")).toString(),
                 QStringLiteral("/dev/ttyUSB3"));
        settings->setValue(QStringLiteral("logout"), true);
        settings->sync();
        QCOMPARE(settings->status(), QSettings::NoError);
    }
    QCOMPARE(readText(system + QStringLiteral("/brimora/settings.ini")).toUtf8(), systemBefore);
    QVERIFY(readText(user + QStringLiteral("/brimora/settings.ini"))
                .contains(QStringLiteral("logout=true")));
}

void FileLocationsTest::perUserDataFilesLieInTheUsersDataFolder()
{
    ScratchDirectory root;
    const QString data = root.file(QStringLiteral("share/brimora"));
    const FileLocations locations = FileLocations::perUser(
        root.file(QStringLiteral("etc")), root.file(QStringLiteral("config")), data);
    QCOMPARE(locations.dataFile(QStringLiteral(".brq_cookies")),
             data + QStringLiteral("/.brq_cookies"));
    QCOMPARE(locations.dataFile(QStringLiteral("logs/run.log")),
             data + QStringLiteral("/logs/run.log"));
    QCOMPARE(locations.dataFile(QStringLiteral("/var/log/run.log")),
             QStringLiteral("/var/log/run.log"));
    QVERIFY(!QFileInfo::exists(data));
    QVERIFY(locations.prepareDataFolder());
    QVERIFY(QFileInfo(data).isDir());
}

QTEST_GUILESS_MAIN(FileLocationsTest)
#include "FileLocationsTest.moc"
