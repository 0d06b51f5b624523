#include "FileLocations.h"
#include "ShellTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(FileLocations::Layout)

namespace {

// Folders relative to a scratch folder, with their permission bits.
using Modes = QList<QPair<QString, int>>;

bool makeFolder(const QString &path, int mode)
{
    return QDir().mkpath(path) && ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

} // namespace

class FileLocationsTest : public QObject
{
    Q_OBJECT

private slots:
    void settingsLieBesideTheProgram();
    void layoutFollowsTheInstalledProgramsFolder_data();
    void layoutFollowsTheInstalledProgramsFolder();
    void copyKeepsItsSettingsBesideItAndDataInTheWorkingDirectory();
    void perUserReadsSystemThenUserAndWritesTheUsersFile();
    void perUserFoldersTakeAbsoluteXdgValuesOnly_data();
    void perUserFoldersTakeAbsoluteXdgValuesOnly();
    void perUserDataFilesLieInTheUsersDataFolder();
    void dataFolderIsTheOwnersAlone_data();
    void dataFolderIsTheOwnersAlone();
    void dataFolderThatCannotBeMadeIsNamedWithTheError();
    void privateFilesAreTheOwnersAlone_data();
    void privateFilesAreTheOwnersAlone();
};

void FileLocationsTest::settingsLieBesideTheProgram()
{
    QCOMPARE(settingsPath(QStringLiteral("/opt/lectern/bin")),
             QStringLiteral("/opt/lectern/bin/settings.ini"));
}

void FileLocationsTest::layoutFollowsTheInstalledProgramsFolder_data()
{
    // Folders of a scratch folder: usr/bin (the installed programs' folder,
    // writable as it is for root), bin (a link to it) and copy.
    QTest::addColumn<QString>("programDir");
    QTest::addColumn<QString>("installedDir");
    QTest::addColumn<FileLocations::Layout>("expected");
    QTest::newRow("installed") << "usr/bin"
                               << "usr/bin" << FileLocations::Layout::PerUser;
    QTest::newRow("installed, through a link") << "bin"
                                               << "usr/bin/" << FileLocations::Layout::PerUser;
    QTest::newRow("a copy") << "copy"
                            << "usr/bin" << FileLocations::Layout::BesideProgram;
    QTest::newRow("both missing") << "gone"
                                  << "usr/local/bin" << FileLocations::Layout::BesideProgram;
}

void FileLocationsTest::layoutFollowsTheInstalledProgramsFolder()
{
    QFETCH(QString, programDir);
    QFETCH(QString, installedDir);
    QFETCH(FileLocations::Layout, expected);
    ScratchDirectory root;
    QVERIFY(QDir().mkpath(root.file(QStringLiteral("usr/bin"))));
    QVERIFY(QDir().mkpath(root.file(QStringLiteral("copy"))));
    QVERIFY(QFile::link(root.file(QStringLiteral("usr/bin")), root.file(QStringLiteral("bin"))));
    QCOMPARE(FileLocations::forProgram(root.file(programDir), root.file(installedDir)).layout(),
             expected);
}

void FileLocationsTest::copyKeepsItsSettingsBesideItAndDataInTheWorkingDirectory()
{
    ScratchDirectory workdir;
    QTemporaryDir program;
    QVERIFY(makeFolder(workdir.path(), 0755));
    QVERIFY(writeDefaults(program.path(), "url=https://beside.test/\n"));
    const FileLocations locations = FileLocations::forProgram(program.path());
    QCOMPARE(locations.layout(), FileLocations::Layout::BesideProgram);

    const auto settings = locations.openSettings();
    QCOMPARE(QFileInfo(settings->fileName()).absoluteFilePath(),
             QFileInfo(program.filePath(QStringLiteral("settings.ini"))).absoluteFilePath());
    QCOMPARE(settings->value(QStringLiteral("defaults/url")).toString(),
             QStringLiteral("https://beside.test/"));
    QCOMPARE(QFileInfo(locations.dataFile(QStringLiteral(".brq_cookies"))).absoluteFilePath(),
             workdir.file(QStringLiteral(".brq_cookies")));
    // The working directory is the user's, not the program's: left as it is.
    QCOMPARE(locations.prepareDataFolder(), QString());
    QCOMPARE(modeOf(workdir.path()), 0755);
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

void FileLocationsTest::perUserFoldersTakeAbsoluteXdgValuesOnly_data()
{
    // XDG_CONFIG_HOME and XDG_DATA_HOME (null: unset; "<root>" a scratch
    // folder, HOME <root>/home), and the folders expected under <root>.
    QTest::addColumn<QByteArray>("configHome");
    QTest::addColumn<QByteArray>("dataHome");
    QTest::addColumn<QString>("expectedConfig");
    QTest::addColumn<QString>("expectedData");
    QTest::newRow("absolute") << QByteArray("<root>/x/../cfg/") << QByteArray("<root>//dat")
                              << "cfg"
                              << "dat";
    QTest::newRow("relative") << QByteArray("cfg") << QByteArray("~/dat") << "home/.config"
                              << "home/.local/share";
    QTest::newRow("unset") << QByteArray() << QByteArray() << "home/.config"
                           << "home/.local/share";
}

void FileLocationsTest::perUserFoldersTakeAbsoluteXdgValuesOnly()
{
    QFETCH(QByteArray, configHome);
    QFETCH(QByteArray, dataHome);
    QFETCH(QString, expectedConfig);
    QFETCH(QString, expectedData);
    ScratchDirectory root;
    const QByteArray rootPath = QFile::encodeName(root.path());
    // No other test here reads the environment.
    qputenv("HOME", rootPath + "/home");
    const auto setOrUnset = [&rootPath](const char *name, QByteArray value) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value.replace("<root>", rootPath));
    };
    setOrUnset("XDG_CONFIG_HOME", configHome);
    setOrUnset("XDG_DATA_HOME", dataHome);

    const FileLocations locations = FileLocations::forProgram(root.path(), root.path());
    QCOMPARE(locations.openSettings()->fileName(),
             root.file(expectedConfig + QStringLiteral("/brimora/settings.ini")));
    QCOMPARE(locations.dataFile(QStringLiteral(".brq_cookies")),
             root.file(expectedData + QStringLiteral("/brimora/.brq_cookies")));
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
}

void FileLocationsTest::dataFolderIsTheOwnersAlone_data()
{
    // The folders before and after; the data folder is share/brimora.
    QTest::addColumn<Modes>("before");
    QTest::addColumn<Modes>("after");
    QTest::newRow("new, with a new parent")
        << Modes{} << Modes{{"share", 0700}, {"share/brimora", 0700}};
    QTest::newRow("left open by an older version")
        << Modes{{"share", 0755}, {"share/brimora", 0755}}
        << Modes{{"share", 0755}, {"share/brimora", 0700}};
}

void FileLocationsTest::dataFolderIsTheOwnersAlone()
{
    QFETCH(Modes, before);
    QFETCH(Modes, after);
    ScratchDirectory root;
    for (const auto &folder : before)
        QVERIFY(makeFolder(root.file(folder.first), folder.second));
    const FileCreationMask openMask(0);
    const FileLocations locations =
        FileLocations::perUser(QString(), QString(), root.file(QStringLiteral("share/brimora")));

    QCOMPARE(locations.prepareDataFolder(), QString());
    for (const auto &folder : after)
        QCOMPARE(QString::number(modeOf(root.file(folder.first)), 8),
                 QString::number(folder.second, 8));
}

void FileLocationsTest::dataFolderThatCannotBeMadeIsNamedWithTheError()
{
    ScratchDirectory root;
    QVERIFY(writeFile(root.file(QStringLiteral("share")), "x", 0644));
    const QString data = root.file(QStringLiteral("share/brimora"));
    QCOMPARE(FileLocations::perUser(QString(), QString(), data).prepareDataFolder(),
             QStringLiteral("cannot create the data folder %1: Not a directory").arg(data));
}

void FileLocationsTest::privateFilesAreTheOwnersAlone_data()
{
    // What lies at the path before (nothing, a file of this user or of
    // another, a named pipe) and its mode, whether a missing file is to be
    // made, and the mode after (-1: missing).
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("modeBefore");
    QTest::addColumn<bool>("create");
    QTest::addColumn<int>("modeAfter");
    QTest::newRow("missing, made") << "none" << 0 << true << 0600;
    QTest::newRow("missing, left missing") << "none" << 0 << false << -1;
    QTest::newRow("open to all") << "file" << 0664 << true << 0600;
    QTest::newRow("another user's") << "foreign" << 0644 << true << 0644;
    QTest::newRow("a named pipe") << "pipe" << 0644 << true << 0644;
}

void FileLocationsTest::privateFilesAreTheOwnersAlone()
{
    QFETCH(QString, kind);
    QFETCH(int, modeBefore);
    QFETCH(bool, create);
    QFETCH(int, modeAfter);
    ScratchDirectory root;
    const QString path = root.file(QStringLiteral("private"));
    const QByteArray native = QFile::encodeName(path);
    if (kind == QLatin1String("pipe"))
        QVERIFY(::mkfifo(native.constData(), 0) == 0 && ::chmod(native.constData(), 0644) == 0);
    else if (kind != QLatin1String("none"))
        QVERIFY(writeFile(path, "kept", modeBefore));
    if (kind == QLatin1String("foreign") && ::chown(native.constData(), 65534, 65534) != 0)
        QSKIP("only root can give a file to another user");
    const FileCreationMask openMask(0);

    FileLocations::keepPrivate(path, create ? FileLocations::IfMissing::Create
                                            : FileLocations::IfMissing::Leave);
    QCOMPARE(QString::number(modeOf(path), 8), QString::number(modeAfter, 8));
    if (kind == QLatin1String("file"))
        QCOMPARE(readText(path), QStringLiteral("kept"));
}

QTEST_GUILESS_MAIN(FileLocationsTest)
#include "FileLocationsTest.moc"
