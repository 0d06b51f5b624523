#ifndef TOOLS_RFSIM_GADGETSERIAL_H
#define TOOLS_RFSIM_GADGETSERIAL_H

#include "SerialDevice.h"

#include <UdcBinding.h>

namespace rfsim {

// The receiver as a USB gadget: the device side of a serial gadget function
// (for example /dev/ttyGS0 of a CDC ACM function configured through configfs),
// with plugging done as a real cable does it. Plugging binds the gadget to its
// USB device controller, so the host's USB stack enumerates the device and its
// driver creates the host's port; unplugging unbinds it, so the host's port
// goes away. The device-side node stays throughout.
class GadgetSerial : public SerialDevice
{
public:
    // gadgetDir: the gadget's configfs folder (holding the UDC file);
    // controller: the name of the USB device controller to bind it to.
    GadgetSerial(std::string devicePath, std::string gadgetDir, std::string controller);
    ~GadgetSerial() override;

    bool plug(std::string &error) override;
    void unplug() override;

private:
    UdcBinding binding_;
};

} // namespace rfsim

#endif // TOOLS_RFSIM_GADGETSERIAL_H
