#include "BaseCheck.h"

#include "DeviceAccess.h"

#include <hidapi/hidapi.h>

#include <QString>
#include <QTextStream>

namespace {

// The base stations' USB ids, as VexorAPI enumerates them.
constexpr unsigned short baseVendorId = 0x1881;
constexpr unsigned short baseProductId = 0x0150;

// The rule comes with the library that every program driving a base links.
const char udevFix[] = "install the package libvexorapi1, whose udev rule "
                       "/lib/udev/rules.d/70-libvexorapi1.rules lets the user at the seat open "
                       "it, then plug the base station in again";

bool reportOne(QTextStream &out, const hid_device_info &device)
{
    const QString path = QString::fromLocal8Bit(device.path);
    hid_device *handle = hid_open_path(device.path);
    if (handle) {
        hid_close(handle);
        out << "  OK: base station at " << path << "; this user can open it.\n";
        return true;
    }
    out << "  PROBLEM: the base station at " << path << " cannot be opened";
    // hidraw nodes are device files: their permissions say why.
    if (path.startsWith(QLatin1String("/dev/"))) {
        const DeviceAccess access = DeviceAccess::check(path);
        out << ": " << access.error << " (" << access.ownership << ").\n";
        if (access.permissionDenied)
            out << "  Fix: " << udevFix << ".\n";
    } else {
        out << ".\n";
    }
    return false;
}

} // namespace

BaseCheck::Result BaseCheck::report(QTextStream &out)
{
    out << "\nHID base stations ("
        << QStringLiteral("%1:%2")
               .arg(baseVendorId, 4, 16, QLatin1Char('0'))
               .arg(baseProductId, 4, 16, QLatin1Char('0'))
        << "):\n";
    if (hid_init() != 0) {
        out << "  PROBLEM: the HID library could not start.\n";
        return Result::Unusable;
    }
    hid_device_info *devices = hid_enumerate(baseVendorId, baseProductId);
    Result result = Result::NoBase;
    for (const hid_device_info *device = devices; device; device = device->next) {
        const bool usable = reportOne(out, *device);
        if (!usable || result == Result::NoBase)
            result = usable ? Result::Usable : Result::Unusable;
    }
    hid_free_enumeration(devices);
    hid_exit();
    if (result == Result::NoBase)
        out << "  none attached.\n";
    return result;
}
