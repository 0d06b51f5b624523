#include "FileLocations.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

// The settings live in <config>/brimora/settings.ini: organization
// "brimora", application "settings" in the settings class's terms.
const char folderName[] = "brimora";
const char settingsName[] = "settings";

} // namespace

QString settingsPath(const QString &programDir)
{
    return QStringLiteral("%1/%2").arg(programDir, QStringLiteral("settings.ini"));
}

FileLocations FileLocations::forProgram(const QString &programDir)
{
    if (QFileInfo(programDir).isWritable())
        return besideProgram(programDir);
    return perUser(QStringLiteral(LECTERN_SYSTEM_CONFIG_DIR),
                   QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                   QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                       QLatin1Char('/') + QLatin1String(folderName));
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

bool FileLocations::prepareDataFolder() const
{
    return kind == Layout::BesideProgram || QDir().mkpath(userDataDir);
}
