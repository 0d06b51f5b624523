#ifndef VEXORAPI_IHID_H
#define VEXORAPI_IHID_H

class DeviceIDHID;

/// Access to one HID device, in 64-byte reports. Every operation answers true
/// on success.
class IHID
{
public:
    IHID();
    explicit IHID(DeviceIDHID *deviceId);
    virtual ~IHID();

    /// Sets present to whether a device with deviceId's identifiers is
    /// attached; answers whether the query itself worked.
    virtual bool isPresent(bool &present) = 0;
    virtual bool open() = 0;
    virtual bool close() = 0;
    virtual bool isOpen() = 0;
    virtual bool setNonBlocking() = 0;
    /// Reads one report into buffer (at least 64 bytes); length is not used.
    virtual bool read(unsigned char *buffer, int length) = 0;
    /// Like read(), waiting at most milliseconds; a time-out answers true and
    /// leaves buffer as it was.
    virtual bool readTimeout(unsigned char *buffer, int length, int milliseconds) = 0;
    /// Writes one 64-byte output report.
    virtual bool write(const unsigned char *report) = 0;
    virtual bool setNumInputBuffers(unsigned long count) = 0;
    virtual bool getNumInputBuffers(unsigned long &count) = 0;
    /// The number of input buffers the protocol asks for.
    virtual unsigned long inputBufferCount() = 0;

    DeviceIDHID *deviceId = nullptr;
};

#endif // VEXORAPI_IHID_H
