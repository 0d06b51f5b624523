#include "SerialDevice.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace rfsim {

SerialDevice::SerialDevice(std::string path) : path_(std::move(path)) {}

SerialDevice::~SerialDevice()
{
    unplug();
}

bool SerialDevice::plug(std::string &error)
{
    if (plugged())
        return true;
    fd_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        error = "cannot open " + path_ + ": " + std::strerror(errno);
        return false;
    }
    if (!configureLine(fd_, error)) {
        unplug();
        return false;
    }
    return true;
}

std::size_t SerialDevice::unreadByHost() const
{
    int count = 0;
    if (fd_ < 0 || ::ioctl(fd_, TIOCOUTQ, &count) != 0)
        return 0;
    return std::size_t(count);
}

void SerialDevice::unplug()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

} // namespace rfsim
