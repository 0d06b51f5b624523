#include "FileLocations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The settings live in <config>/brimora/settings.ini: organization
// "brimora", application "settings" in the settings class's terms.
const char folderName[] = "brimora";
const char settingsName[] = "settings";

constexpr mode_t groupAndOthers = 077;

// An XDG base folder: the variable's value when it is an absolute path (the
// XDG rules say to ignore relative ones, which would make the files depend on
// the working directory), otherwise the default under the home folder.
QString xdgHome(const char *variable, const char *defaultUnderHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (value.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(value);
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(defaultUnderHome);
}

// Creates `path` and every missing folder above it with mode 0700; returns 0
// or the error of the first folder that could not be made.
int makeFolders(const QString &path)
{
    QString folder;
    for (const QString &part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        folder += QLatin1Char('/') + part;
        if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
            return errno;
    }
    return 0;
}

// Takes all access of group and others from the file or folder that `info`
// describes when it is this user's (another user's is not ours to change);
// returns 0 or the error.
int restrictToOwner(const QByteArray &path, const struct stat &info)
{
    if (info.st_uid != ::geteuid() || (info.st_mode & groupAndOthers) == 0)
        return 0;
    return ::chmod(path.constData(), info.st_mode & 07777 & ~groupAndOthers) == 0 ? 0 : errno;
}

} // namespace

QString settingsPath(const QString &programDir)
{
    return QStringLiteral("%1/%2").arg(programDir, QStringLiteral("settings.ini"));
}

QString FileLocations::installedProgramDir()
{
    return QStringLiteral(LECTERN_INSTALLED_PROGRAM_DIR);
}

FileLocations FileLocations::forProgram(const QString &programDir, const QString &installedDir)
{
    // Not "may this user write there": root may write /usr/bin, and an
    // installed program must behave alike for every user.
    const QString canonical = QFileInfo(programDir).canonicalFilePath();
    if (canonical.isEmpty() || canonical != QFileInfo(installedDir).canonicalFilePath())
        return besideProgram(programDir);
    return perUser(QStringLiteral(LECTERN_SYSTEM_CONFIG_DIR), xdgHome("XDG_CONFIG_HOME", ".config"),
                   xdgHome("XDG_DATA_HOME", ".local/share") + QLatin1Char('/') +
                       QLatin1String(folderName));
}

FileLocations FileLocations::besideProgram(const QString &programDir)
{
    FileLocations locations;
    locations.kind = Layout::BesideProgram;
    locations.programDir = programDir;
    return locations;
}

FileLocations FileLocations::perUser(const QString &systemConfigDir, const QString &userConfigDir,
                                     const QString &userDataDir)
{
    FileLocations locations;
    locations.kind = Layout::PerUser;
    locations.systemConfigDir = systemConfigDir;
    locations.userConfigDir = userConfigDir;
    locations.userDataDir = userDataDir;
    return locations;
}

void FileLocations::keepPrivate(const QString &path, IfMissing ifMissing)
{
    const QByteArray native = QFile::encodeName(path);
    if (ifMissing == IfMissing::Create) {
        // Private from the first byte: no moment in which another user could
        // open it.
        const int created =
            ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (created >= 0) {
            ::close(created);
            return;
        }
    }
    struct stat info = {};
    if (::stat(native.constData(), &info) == 0 && S_ISREG(info.st_mode))
        restrictToOwner(native, info);
}

std::unique_ptr<QSettings> FileLocations::openSettings() const
{
    if (kind == Layout::BesideProgram) {
        return std::make_unique<QSettings>(settingsPath(programDir), QSettings::IniFormat);
    }
    // The settings class looks up a key in the user's file first, then in the
    // system's (and in the two folders' brimora.ini, which nothing installs).
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, systemConfigDir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, userConfigDir);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QLatin1String(folderName), QLatin1String(settingsName));
}

QString FileLocations::dataFile(const QString &name) const
{
    if (kind == Layout::BesideProgram || QDir::isAbsolutePath(name))
        return name;
    return userDataDir + QLatin1Char('/') + name;
}

QString FileLocations::prepareDataFolder() const
{
    if (kind == Layout::BesideProgram)
        return QString();
    const QByteArray native = QFile::encodeName(userDataDir);
    int error = makeFolders(userDataDir);
    struct stat info = {};
    if (error == 0 && ::stat(native.constData(), &info) != 0)
        error = errno;
    if (error == 0 && !S_ISDIR(info.st_mode))
        error = ENOTDIR;
    if (error != 0)
        return QStringLiteral("cannot create the data folder %1: %2")
            .arg(userDataDir, qt_error_string(error));
    // Older versions left it open to all.
    error = restrictToOwner(native, info);
    if (error != 0)
        return QStringLiteral("cannot make the data folder %1 private: %2")
            .arg(userDataDir, qt_error_string(error));
    return QString();
}
