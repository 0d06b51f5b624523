#include "GadgetSerial.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace rfsim {

GadgetSerial::GadgetSerial(std::string devicePath, std::string gadgetDir, std::string controller)
    : SerialDevice(std::move(devicePath)), gadgetDir_(std::move(gadgetDir)),
      controller_(std::move(controller))
{
}

GadgetSerial::~GadgetSerial()
{
    unplug();
}

bool GadgetSerial::plug(std::string &error)
{
    if (plugged())
        return true;
    // The line is open before the host can see the device, so nothing the
    // host sends right after enumeration is missed.
    if (!SerialDevice::plug(error))
        return false;
    if (!bind(controller_, error)) {
        SerialDevice::unplug();
        return false;
    }
    return true;
}

void GadgetSerial::unplug()
{
    if (!plugged())
        return;
    std::string ignored;
    bind("", ignored);
    // Bytes not yet taken by the host went out with the cable.
    tcflush(fd(), TCOFLUSH);
    SerialDevice::unplug();
}

bool GadgetSerial::bind(const std::string &controller, std::string &error) const
{
    const std::string udc = gadgetDir_ + "/UDC";
    const int fd = ::open(udc.c_str(), O_WRONLY | O_CLOEXEC);
    const std::string line = controller + "\n";
    if (fd < 0 || ::write(fd, line.data(), line.size()) != ssize_t(line.size())) {
        error = "cannot write '" + controller + "' to " + udc + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}

} // namespace rfsim
