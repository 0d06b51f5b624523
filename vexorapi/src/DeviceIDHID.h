#ifndef VEXORAPI_DEVICEIDHID_H
#define VEXORAPI_DEVICEIDHID_H

#include "IDeviceID.h"

#include <cstdint>

/// USB vendor and product identifiers of a HID device.
class DeviceIDHID : public IDeviceID
{
public:
    /// third is kept but read by nothing.
    DeviceIDHID(int vendorId, int productId, int third);

    uint16_t vendorId = 0;
    uint16_t productId = 0;
    int32_t third = 0;
};

#endif // VEXORAPI_DEVICEIDHID_H
