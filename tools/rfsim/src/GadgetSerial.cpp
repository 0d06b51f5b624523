#include "GadgetSerial.h"

#include <termios.h>

namespace rfsim {

GadgetSerial::GadgetSerial(std::string devicePath, std::string gadgetDir, std::string controller)
    : SerialDevice(std::move(devicePath)), binding_(std::move(gadgetDir), std::move(controller))
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
    if (!binding_.plug(error)) {
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
    binding_.unplug(ignored);
    // Bytes not yet taken by the host went out with the cable.
    tcflush(fd(), TCOFLUSH);
    SerialDevice::unplug();
}

} // namespace rfsim
