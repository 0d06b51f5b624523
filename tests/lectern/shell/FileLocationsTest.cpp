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

// Sets (or, for a null value, unsets) environment variables for the life of
// the object.
class Environment
{
public:
    void set(const char *name, const QByteArray &value)
    {
        if (!saved.contains(name))
            saved.insert(name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray());
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~Environment()
    {
        for (auto it = saved.cbegin(); it != saved.cend(); ++it) {
            if (it.value().isNull())
                qunsetenv(it.key().constData());
            else
                qputenv(it.key().constData(), it.value());
        }
    }

private:
    QMap<QByteArray, QByteArray> saved;
};

} // namespace

class FileLocationsTest : public QObject
{
    Q_OBJECT

private slots:
    void settingsLieBesideTheProgram();
    void layoutFollowsTheInstalledProgramsFolder_data();
    void layoutFollowsTheInstalledProgramsFolder();
    void besideTheProgramDataFilesLieInTheWorkingDirectory();
    void perUserReadsSystemThenUserAndWritesTheUsersFile();
    void perUserFoldersTakeAbsoluteXdgValuesOnly_data();
    void perUserFoldersTakeAbsoluteXdgValuesOnly();
    void perUserDataFilesLieInTheUsersDataFolder();
    void dataFolderIsTheOwnersAlone_data();
    void dataFolderIsTheOwnersAlone();
    void dataFolderThatCannotBeMadeIsNamedWithTheError_data();
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
    // Paths relative to a scratch folder that holds usr/bin (the installed
    // programs' folder, writable as it is for root), a link to it, a copy's
    // own folder with settings.ini, and a read-only folder.
    QTest::addColumn<QString>("programDir");
    QTest::addColumn<QString>("installedDir");
    QTest::addColumn<FileLocations::Layout>("expected");
    const auto perUser = FileLocations::Layout::PerUser;
    const auto beside = FileLocations::Layout::BesideProgram;
    QTest::newRow("installed, folder writable") << "usr/bin"
                                                << "usr/bin" << perUser;
    QTest::newRow("installed, reached through a link") << "bin"
                                                       << "usr/bin" << perUser;
    QTest::newRow("installed, path not clean") << "usr/bin"
                                               << "usr/lib/../bin/" << perUser;
    QTest::newRow("copy with settings.ini") << "copy"
                                            << "usr/bin" << beside;
    QTest::newRow("copy in a read-only folder") << "readonly"
                                                << "usr/bin" << beside;
    QTest::newRow("installed folder missing") << "copy"
                                              << "usr/local/bin" << beside;
    QTest::newRow("both missing") << "gone"
                                  << "usr/local/bin" << beside;
}

void FileLocationsTest::layoutFollowsTheInstalledProgramsFolder()
{
    QFETCH(QString, programDir);
    QFETCH(QString, installedDir);
    QFETCH(FileLocations::Layout, expected);
    ScratchDirectory root;
    QVERIFY(QDir().mkpath(root.file(QStringLiteral("usr/bin"))));
    QVERIFY(QDir().mkpath(root.file(QStringLiteral("usr/lib"))));
    QVERIFY(QFile::link(root.file(QStringLiteral("usr/bin")), root.file(QStringLiteral("bin"))));
    QVERIFY(QDir().mkpath(root.file(QStringLiteral("copy"))));
    QVERIFY(writeDefaults(root.file(QStringLiteral("copy")), "url=https://copy.test/\n"));
    QVERIFY(writeDefaults(root.file(QStringLiteral("usr/bin")), "url=https://stray.test/\n"));
    QVERIFY(makeFolder(root.file(QStringLiteral("readonly")), 0555));

    const FileLocations locations =
        FileLocations::forProgram(root.file(programDir), root.file(installedDir));
    QCOMPARE(locations.layout(), expected);
}

void FileLocationsTest::besideTheProgramDataFilesLieInTheWorkingDirectory()
{
    ScratchDirectory workdir;
    ScratchDirectory program;
    QDir::setCurrent(workdir.path());
    QVERIFY(makeFolder(workdir.path(), 0755));
    QVERIFY(writeDefaults(program.path(), "url=https://beside.test/\n"));
    const FileLocations locations = FileLocations::besideProgram(program.path());

    const auto settings = locations.openSettings();
    QCOMPARE(QFileInfo(settings->fileName()).absoluteFilePath(),
             QFileInfo(program.file(QStringLiteral("settings.ini"))).absoluteFilePath());
    QCOMPARE(settings->value(QStringLiteral("defaults/url")).toString(),
             QStringLiteral("https://beside.test/"));
    // The cookie jar follows the working directory, not the program.
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
    // Values for XDG_CONFIG_HOME and XDG_DATA_HOME ("<root>" is a scratch
    // folder, HOME is <root>/home; a null value unsets the variable), and the
    // folders expected, relative to <root>.
    QTest::addColumn<QByteArray>("configHome");
    QTest::addColumn<QByteArray>("dataHome");
    QTest::addColumn<QString>("expectedConfig");
    QTest::addColumn<QString>("expectedData");
    QTest::newRow("absolute") << QByteArray("<root>/cfg") << QByteArray("<root>/dat") << "cfg"
                              << "dat";
    QTest::newRow("absolute, not clean")
        << QByteArray("<root>/x/../cfg/") << QByteArray("<root>//dat") << "cfg"
        << "dat";
    QTest::newRow("relative") << QByteArray("cfg") << QByteArray("./dat") << "home/.config"
                              << "home/.local/share";
    QTest::newRow("relative, home-like")
        << QByteArray("~/cfg") << QByteArray("$HOME/dat") << "home/.config"
        << "home/.local/share";
    QTest::newRow("empty") << QByteArray("") << QByteArray("") << "home/.config"
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
    ScratchDirectory installed;
    const QByteArray rootPath = QFile::encodeName(root.path());
    Environment environment;
    environment.set("HOME", rootPath + "/home");
    environment.set("XDG_CONFIG_HOME",
                    configHome.isNull() ? configHome : configHome.replace("<root>", rootPath));
    environment.set("XDG_DATA_HOME",
                    dataHome.isNull() ? dataHome : dataHome.replace("<root>", rootPath));

    const FileLocations locations = FileLocations::forProgram(installed.path(), installed.path());
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
    // The folders that exist before (relative to a scratch folder, with their
    // modes) and the modes expected after; the data folder is share/brimora.
    QTest::addColumn<Modes>("before");
    QTest::addColumn<Modes>("after");
    QTest::newRow("new, with a new parent")
        << Modes{} << Modes{{"share", 0700}, {"share/brimora", 0700}};
    QTest::newRow("new, in a parent open to all")
        << Modes{{"share", 0755}} << Modes{{"share", 0755}, {"share/brimora", 0700}};
    QTest::newRow("left open by an older version")
        << Modes{{"share", 0755}, {"share/brimora", 0755}}
        << Modes{{"share", 0755}, {"share/brimora", 0700}};
    QTest::newRow("already private") << Modes{{"share", 0711}, {"share/brimora", 0700}}
                                     << Modes{{"share", 0711}, {"share/brimora", 0700}};
}

void FileLocationsTest::dataFolderIsTheOwnersAlone()
{
    QFETCH(Modes, before);
    QFETCH(Modes, after);
    ScratchDirectory root;
    for (const auto &folder : before)
        QVERIFY(makeFolder(root.file(folder.first), folder.second));
    const FileCreationMask openMask(0);
    const FileLocations locations = FileLocations::perUser(
        root.file(QStringLiteral("etc")), root.file(QStringLiteral("config")),
        root.file(QStringLiteral("share/brimora")));

    QCOMPARE(locations.prepareDataFolder(), QString());
    for (const auto &folder : after)
        QCOMPARE(QString::number(modeOf(root.file(folder.first)), 8),
                 QString::number(folder.second, 8));
}

void FileLocationsTest::dataFolderThatCannotBeMadeIsNamedWithTheError_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("error");
    QTest::newRow("a file where a parent should be") << "share"
                                                     << "Not a directory";
    QTest::newRow("a file where the folder should be") << "share/brimora"
                                                       << "Not a directory";
}

void FileLocationsTest::dataFolderThatCannotBeMadeIsNamedWithTheError()
{
    QFETCH(QString, file);
    QFETCH(QString, error);
    ScratchDirectory root;
    QVERIFY(QDir().mkpath(QFileInfo(root.file(file)).path()));
    QVERIFY(writeFile(root.file(file), "x", 0644));
    const QString data = root.file(QStringLiteral("share/brimora"));
    const FileLocations locations = FileLocations::perUser(
        root.file(QStringLiteral("etc")), root.file(QStringLiteral("config")), data);

    QCOMPARE(locations.prepareDataFolder(),
             QStringLiteral("cannot create the data folder %1: %2").arg(data, error));
}

void FileLocationsTest::privateFilesAreTheOwnersAlone_data()
{
    // What lies at the path before (nothing, a file of this user or of
    // another, a named pipe) with its mode, whether a missing file is to be
    // made, and the mode expected after (-1: still missing).
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("modeBefore");
    QTest::addColumn<bool>("create");
    QTest::addColumn<int>("modeAfter");
    QTest::newRow("missing, made") << "none" << 0 << true << 0600;
    QTest::newRow("missing, left missing") << "none" << 0 << false << -1;
    QTest::newRow("open to all") << "file" << 0644 << false << 0600;
    QTest::newRow("writable by all") << "file" << 0666 << true << 0600;
    QTest::newRow("already private") << "file" << 0600 << false << 0600;
    QTest::newRow("read-only for the owner") << "file" << 0400 << false << 0400;
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
    if (kind == QLatin1String("pipe")) {
        QVERIFY(::mkfifo(native.constData(), 0) == 0);
        QVERIFY(::chmod(native.constData(), mode_t(modeBefore)) == 0);
    } else if (kind != QLatin1String("none")) {
        QVERIFY(writeFile(path, "kept", modeBefore));
    }
    if (kind == QLatin1String("foreign")) {
        if (::geteuid() != 0)
            QSKIP("only root can give a file to another user");
        QVERIFY(::chown(native.constData(), 65534, 65534) == 0);
    }
    const FileCreationMask openMask(0);

    FileLocations::keepPrivate(path, create ? FileLocations::IfMissing::Create
                                            : FileLocations::IfMissing::Leave);
    QCOMPARE(QString::number(modeOf(path), 8), QString::number(modeAfter, 8));
    if (kind == QLatin1String("file"))
        QCOMPARE(readText(path), QStringLiteral("kept"));
}

QTEST_GUILESS_MAIN(FileLocationsTest)
#include "FileLocationsTest.moc"
