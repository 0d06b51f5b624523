#ifndef TOOLS_DOCTOR_DEVICEACCESS_H
#define TOOLS_DOCTOR_DEVICEACCESS_H

#include <QString>

// Whether the current user can open a device file for reading and writing,
// and if not, why.
struct DeviceAccess
{
    bool canOpen = false;
    // The system's error text when it cannot be opened.
    QString error;
    // The open failed for lack of permission (not for a missing or busy device).
    bool permissionDenied = false;
    // Owner, group and permissions of the device file ("root:dialout crw-rw----").
    QString ownership;
    // The device file's group ("dialout").
    QString group;

    // Opens `path` without making it the controlling terminal and without
    // waiting for a carrier, then closes it again.
    static DeviceAccess check(const QString &path);
};

#endif // TOOLS_DOCTOR_DEVICEACCESS_H
