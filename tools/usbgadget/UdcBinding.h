#ifndef TOOLS_USBGADGET_UDCBINDING_H
#define TOOLS_USBGADGET_UDCBINDING_H

#include <string>

// A USB gadget configured through configfs and the USB device controller it
// plugs into. Binding it (writing the controller's name to the gadget's UDC
// file) is plugging the cable in: the host's USB stack enumerates the device
// and its drivers take it. Unbinding is pulling the cable out.
class UdcBinding
{
public:
    // gadgetDir: the gadget's configfs folder; controller: a name listed
    // in /sys/class/udc (e.g. dummy_udc.0).
    UdcBinding(std::string gadgetDir, std::string controller);

    bool plug(std::string &error) const;
    bool unplug(std::string &error) const;

private:
    bool write(const std::string &controller, std::string &error) const;

    std::string gadgetDir_;
    std::string controller_;
};

#endif // TOOLS_USBGADGET_UDCBINDING_H
