#include "PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal(bool lockedSlave)
{
    const int fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0)
        return;
    const char *name = nullptr;
    if (grantpt(fd) != 0 || (!lockedSlave && unlockpt(fd) != 0) ||
        (name = ptsname(fd)) == nullptr) {
        close(fd);
        return;
    }
    master = fd;
    path = QString::fromLocal8Bit(name);
}

PseudoTerminal::~PseudoTerminal()
{
    if (master >= 0)
        close(master);
}

bool PseudoTerminal::write(const QByteArray &bytes)
{
    int done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master, bytes.constData() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QByteArray PseudoTerminal::readAvailable(int quietMs)
{
    QByteArray bytes;
    pollfd entry{master, POLLIN, 0};
    while (poll(&entry, 1, quietMs) > 0 && (entry.revents & POLLIN)) {
        char chunk[256];
        const ssize_t n = ::read(master, chunk, sizeof chunk);
        if (n <= 0)
            break;
        bytes.append(chunk, int(n));
    }
    return bytes;
}
