#include "ReceiverPort.h"

#include <cerrno>
#include <cstring>
#include <termios.h>

namespace rfsim {

bool ReceiverPort::configureLine(int fd, std::string &error)
{
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        error = std::string("cannot read the line settings: ") + std::strerror(errno);
        return false;
    }
    cfmakeraw(&settings);
    settings.c_cflag &= ~tcflag_t(CSTOPB | PARENB | CRTSCTS);
    settings.c_cflag |= CLOCAL | CREAD | CS8;
    settings.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    cfsetispeed(&settings, B19200);
    cfsetospeed(&settings, B19200);
    if (tcsetattr(fd, TCSANOW, &settings) != 0) {
        error = std::string("cannot set the line settings: ") + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace rfsim
