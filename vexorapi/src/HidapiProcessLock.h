#ifndef VEXORAPI_HIDAPIPROCESSLOCK_H
#define VEXORAPI_HIDAPIPROCESSLOCK_H

#include <mutex>

/// Holds, for its lifetime, the one lock of the process around calls into
/// hidapi's process-wide functions. hidapi keeps process-wide state without a
/// lock of its own: its hidraw backend replaces a global error text in
/// hid_init, hid_exit, hid_enumerate, hid_open and hid_open_path (the last
/// three call hid_init), its Windows backend loads and records its system
/// library in hid_init. Every facade of the process, and every thread of
/// each, takes this lock around those calls. It is never held across device
/// I/O: reads, writes and hid_close touch only their own handle.
class HidapiProcessLock
{
public:
    HidapiProcessLock();

    HidapiProcessLock(const HidapiProcessLock &) = delete;
    HidapiProcessLock &operator=(const HidapiProcessLock &) = delete;

private:
    std::lock_guard<std::mutex> guard;
};

#endif // VEXORAPI_HIDAPIPROCESSLOCK_H
