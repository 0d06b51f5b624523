#include "PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A poll of a terminal first moves the bytes that the kernel still holds for
// it into its input queue, so that what follows sees all of them.
bool readable(int fd)
{
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, 0) > 0 && (entry.revents & POLLIN);
}

} // namespace

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
    if (lockedSlave)
        return;
    // Raw from the start: bytes the receiver sends before the host has opened
    // the line are neither echoed nor held back as an unfinished line.
    slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios line{};
    if (slave >= 0 && tcgetattr(slave, &line) == 0) {
        cfmakeraw(&line);
        tcsetattr(slave, TCSANOW, &line);
    }
}

PseudoTerminal::~PseudoTerminal()
{
    if (slave >= 0)
        close(slave);
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

int PseudoTerminal::unreadByHost() const
{
    if (slave < 0 || !readable(slave))
        return 0;
    int count = 0;
    return ioctl(slave, FIONREAD, &count) == 0 ? count : 0;
}

QByteArray PseudoTerminal::readWritten()
{
    QByteArray bytes;
    while (readable(master)) {
        char chunk[256];
        const ssize_t n = ::read(master, chunk, sizeof chunk);
        if (n <= 0)
            break;
        bytes.append(chunk, int(n));
    }
    return bytes;
}

void PseudoTerminal::holdHostWrites(bool hold)
{
    // The pair's own slave descriptor shares the line with the host's.
    if (slave >= 0)
        tcflow(slave, hold ? TCOOFF : TCOON);
}
