#ifndef TESTS_LECTERN_SHELL_SHELLTESTSUPPORT_H
#define TESTS_LECTERN_SHELL_SHELLTESTSUPPORT_H

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

#include <sys/types.h>

// The local stand-in for the web service, run as a child process for the
// lifetime of the object. Its records tell what it has received.
class DevService
{
public:
    DevService();
    ~DevService();

    bool isRunning() const { return !httpUrl.isEmpty(); }
    // Base URLs, e.g. http://127.0.0.1:40123 (no trailing slash).
    QString http() const { return httpUrl; }
    QString https() const { return httpsUrl; }

    // All records of one kind ("requests", "timeouts", ...).
    QJsonArray records(const QString &kind) const;
    // The records of kind "requests" whose path is `path`.
    QJsonArray requestsFor(const QString &path) const;
    void reset() const;

private:
    // Ends the service with the test process, also when the test crashes.
    class ChildProcess : public QProcess
    {
    protected:
        void setupChildProcess() override;
    };

    QByteArray call(const QByteArray &method, const QString &path) const;

    ChildProcess process;
    QString httpUrl;
    QString httpsUrl;
};

// A fresh, empty working directory for the duration of one test: the cookie
// file and the default log file are relative to it.
class ScratchDirectory
{
public:
    ScratchDirectory();
    ~ScratchDirectory();

    QString path() const { return dir.path(); }
    QString file(const QString &name) const { return dir.filePath(name); }

private:
    QTemporaryDir dir;
    QString previous;
};

// A settings object over <dir>/settings.ini with the group "defaults" open, as
// the program creates it at start-up.
std::unique_ptr<QSettings> openDefaults(const QString &dir);

// Writes <dir>/settings.ini with `lines` in the section [defaults], as raw text
// the way a user writes it; false when the file cannot be written.
bool writeDefaults(const QString &dir, const QByteArray &lines);

// Reads a whole file as text ("" when missing).
QString readText(const QString &path);

// Writes `bytes` into a new file at `path` and gives it `mode`.
bool writeFile(const QString &path, const QByteArray &bytes, int mode);

// The permission bits of a file or folder (not of a link's target); -1 when
// there is none.
int modeOf(const QString &path);

// Sets the process's file creation mask for the life of the object, so that
// the modes a test sees come from the code, not from the mask it inherited.
class FileCreationMask
{
public:
    explicit FileCreationMask(mode_t mask);
    ~FileCreationMask();

private:
    mode_t previous;
};

#endif // TESTS_LECTERN_SHELL_SHELLTESTSUPPORT_H
