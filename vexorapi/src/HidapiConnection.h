#ifndef VEXORAPI_HIDAPICONNECTION_H
#define VEXORAPI_HIDAPICONNECTION_H

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

struct hid_device_;

/// One opening of a HID device through hidapi: the device opened twice on one
/// path, a handle that only reads and a handle that only writes.
///
/// hidapi keeps per-handle state without a lock: its hidraw backend replaces
/// a handle's error text in every read and write, success included, and its
/// Windows backend keeps a handle's pending I/O and error text the same way.
/// Two threads inside calls on one handle at once can free that text twice.
/// The library reads on its reader thread while the connection thread and
/// the client's thread write, so reads go to one handle and writes to the
/// other, and each handle's calls are serialised by a lock of its own: no two
/// threads are ever inside calls on one handle, and a write never waits for
/// a read. Each open handle of a device has its own queue of input reports;
/// the write handle's are never read (the system drops them once that queue
/// is full).
class HidapiConnection
{
public:
    /// Opens the device at path twice; null if either opening fails. Calls
    /// hidapi's process-wide hid_open_path: hold the HidapiProcessLock.
    static std::unique_ptr<HidapiConnection> open(const std::string &path);
    /// Closes both handles: no thread may be inside a call on this object.
    ~HidapiConnection();

    HidapiConnection(const HidapiConnection &) = delete;
    HidapiConnection &operator=(const HidapiConnection &) = delete;

    /// hid_read on the read handle.
    int read(unsigned char *buffer, std::size_t length);
    /// hid_read_timeout on the read handle.
    int readTimeout(unsigned char *buffer, std::size_t length, int milliseconds);
    /// hid_write on the write handle.
    int write(const unsigned char *report, std::size_t length);
    /// Non-blocking reads on the read handle, which the setting is for.
    int setNonBlocking();
    /// The input buffers of the read handle.
    int setNumInputBuffers(unsigned long count);
    int getNumInputBuffers(unsigned long &count);

private:
    HidapiConnection(hid_device_ *reading, hid_device_ *writing);

    std::mutex readMutex; // serialises the calls on readHandle
    hid_device_ *const readHandle;
    std::mutex writeMutex; // serialises the calls on writeHandle
    hid_device_ *const writeHandle;
};

#endif // VEXORAPI_HIDAPICONNECTION_H
