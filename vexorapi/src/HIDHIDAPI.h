#ifndef VEXORAPI_HIDHIDAPI_H
#define VEXORAPI_HIDHIDAPI_H

#include "IHID.h"

#include <memory>
#include <mutex>
#include <string>

class HidapiConnection;

/// IHID over the hidapi library.
///
/// One opening of the device is used from three threads: the connection
/// thread opens it and writes the opening sequence, the reader thread waits up
/// to a second in readTimeout(), the client's thread writes commands. hidapi
/// is not safe for two threads inside calls on one handle, so an opening is a
/// HidapiConnection: a handle for reads and one for writes, each with its own
/// lock. The opening is reference-counted: every operation takes its own
/// reference under a short lock and does the device I/O under that handle's
/// lock only. open() and close() only swap the member; the replaced opening is
/// closed by whichever thread lets go of the last reference. So a handle is
/// never freed while another thread is inside a call on it, no two threads
/// are ever inside calls on one handle, a write never waits for a pending
/// read, and open() and close() never wait for device I/O.
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
    /// Like open(), for the device at path (as hidapi's enumeration names it).
    bool openPath(const std::string &path);
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
    using Handle = std::shared_ptr<HidapiConnection>;

    Handle currentHandle() const;
    void replaceHandle(Handle handle);

    mutable std::mutex handleMutex; // protects device and storedNumInputBuffers
    Handle device;
    unsigned long storedNumInputBuffers = 0;
};

#endif // VEXORAPI_HIDHIDAPI_H
