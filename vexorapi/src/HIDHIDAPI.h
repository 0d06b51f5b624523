#ifndef VEXORAPI_HIDHIDAPI_H
#define VEXORAPI_HIDHIDAPI_H

#include "IHID.h"

#include <memory>
#include <mutex>

struct hid_device_;

/// IHID over the hidapi library.
///
/// One handle is used from three threads: the connection thread opens it and
/// writes the opening sequence, the reader thread waits up to a second in
/// readTimeout(), the client's thread writes commands. The handle is therefore
/// reference-counted: every operation takes its own reference under a short
/// lock and does the device I/O without any lock. open() and close() only
/// swap the member; the replaced handle is closed by whichever thread lets go
/// of the last reference. So a handle is never freed while another thread is
/// inside a read or write on it, a write never waits for a pending read, and
/// open() and close() never wait for device I/O.
///
/// hidapi's process-wide functions (initialisation, enumeration, opening)
/// share state across the process without a lock of their own: the
/// constructors, isPresent() and open() call them under the process's
/// HidapiProcessLock, shared by every object and every thread.
class HIDHIDAPI : public IHID
{
public:
    HIDHIDAPI();
    explicit HIDHIDAPI(DeviceIDHID *deviceId);
    ~HIDHIDAPI() override;

    bool isPresent(bool &present) override;
    /// Opens the first attached device with deviceId's identifiers; a handle
    /// left from an earlier opening is released.
    bool open() override;
    bool close() override;
    bool isOpen() override;
    bool setNonBlocking() override;
    bool read(unsigned char *buffer, int length) override;
    bool readTimeout(unsigned char *buffer, int length, int milliseconds) override;
    bool write(const unsigned char *report) override;
    /// Always true; the count is remembered whatever the system answered.
    bool setNumInputBuffers(unsigned long count) override;
    bool getNumInputBuffers(unsigned long &count) override;
    unsigned long inputBufferCount() override;

    /// The count last given to setNumInputBuffers().
    unsigned long numInputBuffers() const;

private:
    using Handle = std::shared_ptr<hid_device_>;

    Handle currentHandle() const;
    void replaceHandle(Handle handle);

    mutable std::mutex handleMutex; // protects device and storedNumInputBuffers
    Handle device;
    unsigned long storedNumInputBuffers = 0;
};

#endif // VEXORAPI_HIDHIDAPI_H
