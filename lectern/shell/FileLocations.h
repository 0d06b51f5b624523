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
// An installed program (one in the folder the build installs programs to,
// e.g. /usr/bin) reads the system file <sysconfdir>/brimora/settings.ini and
// the user's own $XDG_CONFIG_HOME/brimora/settings.ini, the user's winning key
// by key, and writes to the user's file; the cookie jar and the log go to
// $XDG_DATA_HOME/brimora/. That holds for every user, root included.
//
// A copy anywhere else (unpacked into a folder of its own, or run from the
// build tree) keeps everything as it always has: settings.ini beside the
// program, the cookie jar and the log in the working directory.
class FileLocations
{
public:
    enum class Layout { BesideProgram, PerUser };
    enum class IfMissing { Leave, Create };

    // The folder the build installs its programs to (<prefix>/bin).
    static QString installedProgramDir();

    // The layout for a program in `programDir`: per user when that is the
    // installed programs' folder (compared once links are resolved), beside
    // the program otherwise. Per-user folders follow the XDG variables.
    static FileLocations forProgram(const QString &programDir,
                                    const QString &installedDir = installedProgramDir());
    static FileLocations besideProgram(const QString &programDir);
    static FileLocations perUser(const QString &systemConfigDir, const QString &userConfigDir,
                                 const QString &userDataDir);

    // Makes a file of the program's own (the cookie jar, the log) the owner's
    // alone: a missing one is created with mode 0600 when asked for, and a
    // regular file of this user loses any access of group and others. Nothing
    // else is touched (a device or pipe named as the log, another user's
    // file); failures leave the file as it was.
    static void keepPrivate(const QString &path, IfMissing ifMissing);

    Layout layout() const { return kind; }

    // The settings, group not yet opened. Per user, reads fall back from the
    // user's file to the system's and writes go to the user's.
    std::unique_ptr<QSettings> openSettings() const;

    // The place of a data file the program names itself (the cookie jar, a
    // log file named in the settings): relative names lie in the working
    // directory beside the program, in the user's data folder per user.
    QString dataFile(const QString &name) const;

    // Per user: creates the data folder with mode 0700 (and the folders above
    // it that are missing, as the XDG rules ask), or takes access of group
    // and others from an existing one; the folders above an existing one are
    // never touched. Returns "" when done (beside the program there is
    // nothing to do: the working directory is the user's), otherwise a line
    // naming the folder and the error.
    QString prepareDataFolder() const;

private:
    Layout kind = Layout::BesideProgram;
    QString programDir;
    QString systemConfigDir;
    QString userConfigDir;
    QString userDataDir;
};

#endif // LECTERN_SHELL_FILELOCATIONS_H
