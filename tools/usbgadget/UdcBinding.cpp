#include "UdcBinding.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

UdcBinding::UdcBinding(std::string gadgetDir, std::string controller)
    : gadgetDir_(std::move(gadgetDir)), controller_(std::move(controller))
{
}

bool UdcBinding::plug(std::string &error) const
{
    return write(controller_, error);
}

bool UdcBinding::unplug(std::string &error) const
{
    return write("", error);
}

bool UdcBinding::write(const std::string &controller, std::string &error) const
{
    const std::string udc = gadgetDir_ + "/UDC";
    const std::string line = controller + "\n";
    const int fd = ::open(udc.c_str(), O_WRONLY | O_CLOEXEC);
    const bool written = fd >= 0 && ::write(fd, line.data(), line.size()) == ssize_t(line.size());
    if (!written)
        error = "cannot write '" + controller + "' to " + udc + ": " + std::strerror(errno);
    if (fd >= 0)
        ::close(fd);
    return written;
}
