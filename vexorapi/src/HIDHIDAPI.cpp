#include "HIDHIDAPI.h"

#include "DeviceIDHID.h"
#include "HidapiConnection.h"
#include "HidapiProcessLock.h"

#include <hidapi/hidapi.h>

namespace {

constexpr std::size_t reportSize = 64;
constexpr unsigned long protocolInputBuffers = 512;

// hidapi's process-wide calls (hid_init, hid_enumerate, hid_open_path) run
// under the process's HidapiProcessLock: the connection thread searches every
// 100 ms while a client may search and open on its own thread, and another
// facade may do the same. The rest needs no lock of the process:
// hid_free_enumeration frees only its list, hid_close only its handle, and
// reads and writes touch only their handle (see HidapiConnection). The
// library never calls hid_exit, nor hid_error, whose answer for no handle is
// the global text.
void initialiseHidapi()
{
    const HidapiProcessLock lock;
    hid_init(); // a failed initialisation shows up as failed enumerations and opens
}

} // namespace

HIDHIDAPI::HIDHIDAPI()
{
    initialiseHidapi();
}

HIDHIDAPI::HIDHIDAPI(DeviceIDHID *deviceId_) : IHID(deviceId_)
{
    initialiseHidapi();
}

HIDHIDAPI::~HIDHIDAPI() = default;

HIDHIDAPI::Handle HIDHIDAPI::currentHandle() const
{
    std::lock_guard<std::mutex> lock(handleMutex);
    return device;
}

void HIDHIDAPI::replaceHandle(Handle handle)
{
    Handle previous;
    {
        std::lock_guard<std::mutex> lock(handleMutex);
        previous = std::move(device);
        device = std::move(handle);
    }
    // previous is released here, outside the lock: if it was the last
    // reference, its hid_close runs now; otherwise in the thread still using it.
}

bool HIDHIDAPI::isPresent(bool &present)
{
    hid_device_info *devices = nullptr;
    {
        const HidapiProcessLock lock;
        devices = hid_enumerate(deviceId->vendorId, deviceId->productId);
    }
    present = devices != nullptr;
    hid_free_enumeration(devices);
    return true;
}

bool HIDHIDAPI::open()
{
    std::string path;
    {
        const HidapiProcessLock lock;
        hid_device_info *devices = hid_enumerate(deviceId->vendorId, deviceId->productId);
        if (devices != nullptr && devices->path != nullptr)
            path = devices->path;
        hid_free_enumeration(devices);
    }
    return openPath(path);
}

bool HIDHIDAPI::openPath(const std::string &path)
{
    Handle opened;
    if (!path.empty()) {
        const HidapiProcessLock lock;
        opened = HidapiConnection::open(path);
    }
    const bool ok = opened != nullptr;
    replaceHandle(std::move(opened));
    return ok;
}

bool HIDHIDAPI::close()
{
    replaceHandle(Handle());
    return true;
}

bool HIDHIDAPI::isOpen()
{
    return currentHandle() != nullptr;
}

bool HIDHIDAPI::setNonBlocking()
{
    const Handle handle = currentHandle();
    return handle && handle->setNonBlocking() >= 0;
}

bool HIDHIDAPI::read(unsigned char *buffer, int)
{
    const Handle handle = currentHandle();
    return handle && handle->read(buffer, reportSize) >= 0;
}

bool HIDHIDAPI::readTimeout(unsigned char *buffer, int, int milliseconds)
{
    const Handle handle = currentHandle();
    return handle && handle->readTimeout(buffer, reportSize, milliseconds) >= 0;
}

bool HIDHIDAPI::write(const unsigned char *report)
{
    const Handle handle = currentHandle();
    return handle && handle->write(report, reportSize) >= 0;
}

bool HIDHIDAPI::setNumInputBuffers(unsigned long count)
{
    const Handle handle = currentHandle();
    if (handle)
        handle->setNumInputBuffers(count);
    std::lock_guard<std::mutex> lock(handleMutex);
    storedNumInputBuffers = count;
    return true;
}

bool HIDHIDAPI::getNumInputBuffers(unsigned long &count)
{
    const Handle handle = currentHandle();
    return handle && handle->getNumInputBuffers(count) == 1;
}

unsigned long HIDHIDAPI::inputBufferCount()
{
    return protocolInputBuffers;
}

unsigned long HIDHIDAPI::numInputBuffers() const
{
    std::lock_guard<std::mutex> lock(handleMutex);
    return storedNumInputBuffers;
}
