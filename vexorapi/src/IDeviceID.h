#ifndef VEXORAPI_IDEVICEID_H
#define VEXORAPI_IDEVICEID_H

/// Identity of a device (no operations; the concrete class holds the values).
class IDeviceID
{
public:
    virtual ~IDeviceID() = default;
};

#endif // VEXORAPI_IDEVICEID_H
