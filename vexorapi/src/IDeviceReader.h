#ifndef VEXORAPI_IDEVICEREADER_H
#define VEXORAPI_IDEVICEREADER_H

// Takes input reports from the base and queues them for the parser.
class IDeviceReader
{
public:
    IDeviceReader() = default;
    virtual ~IDeviceReader() = default;

    IDeviceReader(const IDeviceReader &) = delete;
    IDeviceReader &operator=(const IDeviceReader &) = delete;

    // One pass: waits for an opened base, reads it until a read fails, then
    // reports the loss and returns.
    virtual void run() = 0;
};

#endif // VEXORAPI_IDEVICEREADER_H
