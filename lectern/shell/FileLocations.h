#ifndef LECTERN_SHELL_FILELOCATIONS_H
#define LECTERN_SHELL_FILELOCATIONS_H

#include <QString>

#include <memory>

class QSettings;

// "<programDir>/settings.ini": beside the program, whatever the working
// directory.
QString settingsPath(const QString &programDir);

// Where the program keeps its settings, cookie jar and log.
//
// A copy unpacked into a folder of its own (the program's folder is
// writable) keeps everything as it always has: settings.ini beside the
// program, the cookie jar and the log in the working directory.
//
// An installed program (its folder is not writable, e.g. /usr/bin) reads the
// system file <sysconfdir>/brimora/settings.ini and the user's own
// $XDG_CONFIG_HOME/brimora/settings.ini, the user's winning key by key, and
// writes to the user's file; the cookie jar and the log go to
// $XDG_DATA_HOME/brimora/.
class FileLocations
{
public:
    enum class Layout { BesideProgram, PerUser };

    // The layout for a program in `programDir`, decided by whether that
    // folder is writable; per-user folders follow the XDG variables.
    static FileLocations forProgram(const QString &programDir);
    static FileLocations besideProgram(const QString &programDir);
    static FileLocations perUser(const QString &systemConfigDir, const QString &userConfigDir,
                                 const QString &userDataDir);

    Layout layout() const { return kind; }

    // The settings, group not yet opened. Per user, reads fall back from the
    // user's file to the system's and writes go to the user's.
    std::unique_ptr<QSettings> openSettings() const;

    // The place of a data file the program names itself (the cookie jar, a
    // log file named in the settings): relative names lie in the working
    // directory beside the program, in the user's data folder per user.
    QString dataFile(const QString &name) const;

    // Creates the user's data folder when needed; false when that fails.
    bool prepareDataFolder() const;

private:
    Layout kind = Layout::BesideProgram;
    QString programDir;
    QString systemConfigDir;
    QString userConfigDir;
    QString userDataDir;
};

#endif // LECTERN_SHELL_FILELOCATIONS_H
