#include "DeviceAccess.h"

#include <QByteArray>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString nameOfGroup(gid_t gid)
{
    const group *entry = getgrgid(gid);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(gid);
}

QString nameOfUser(uid_t uid)
{
    const passwd *entry = getpwuid(uid);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(uid);
}

// "crw-rw----" for a character device readable and writable by owner and group.
QString modeText(mode_t mode)
{
    QString text = S_ISCHR(mode) ? QStringLiteral("c") : QStringLiteral("-");
    const char letters[] = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit)
        text += (mode & (0400 >> bit)) ? QLatin1Char(letters[bit]) : QLatin1Char('-');
    return text;
}

} // namespace

DeviceAccess DeviceAccess::check(const QString &path)
{
    DeviceAccess access;
    const QByteArray file = path.toLocal8Bit();
    struct stat info
    {
    };
    if (stat(file.constData(), &info) == 0) {
        access.group = nameOfGroup(info.st_gid);
        access.ownership = QStringLiteral("%1:%2 %3")
                               .arg(nameOfUser(info.st_uid), access.group, modeText(info.st_mode));
    }
    const int fd = open(file.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
        access.canOpen = true;
        return access;
    }
    const int error = errno;
    access.error = QString::fromLocal8Bit(std::strerror(error));
    access.permissionDenied = error == EACCES || error == EPERM;
    return access;
}
