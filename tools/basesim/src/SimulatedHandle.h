#ifndef TOOLS_BASESIM_SIMULATEDHANDLE_H
#define TOOLS_BASESIM_SIMULATEDHANDLE_H

#include "BaseModel.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

/// A handle of the simulated base as hid_open hands it out, with its own
/// queue of input reports: like a hidraw file (or a Windows handle), each
/// open handle receives every input report sent while it is open, and a
/// report read through one handle stays queued for the others. Like a hidraw
/// file, it holds at most handleQueueCapacity reports and drops those that
/// arrive while it is full.
///
/// A handle's memory is never freed, so that a call on a handle that
/// hid_close has released can be caught (the program ends with a message)
/// instead of reaching freed memory.
struct hid_device_
{
    explicit hid_device_(unsigned long attachment);

    /// Where a call of hidapi's function marks that it is inside the handle
    /// (see basesim::SoleCall); ends the program for a null handle.
    static std::atomic<const char *> &callSlot(hid_device_ *device, const char *function);
    /// Ends the program if hid_close has released the handle.
    void checkOpen(const char *function);
    /// hid_close, from inside a call on the handle that found it open.
    void release();

    /// The base's attachment has ended: reads and writes fail from now on.
    void end();
    /// Queues a report sent by the base, while the handle is alive and its
    /// queue has room.
    void deliver(const basesim::Report &report);
    /// Wakes a waiting read, to see an injected failure.
    void wake();
    /// hid_read_timeout: waits up to milliseconds (-1: without limit) for a
    /// report, the end of the attachment or an injected failure, which it
    /// consumes.
    int read(unsigned char *data, std::size_t length, int milliseconds,
             std::atomic<bool> &failurePending);

    bool isAlive();
    bool isOpen();
    void setError(const wchar_t *text);
    const wchar_t *error();
    void setNonBlocking(bool nonBlocking);
    bool isNonBlocking();
    basesim::HandleRecord record();

    static constexpr const wchar_t *disconnected = L"device disconnected";

    const unsigned long attachment; // the attachment it was opened on

private:
    using Lock = std::unique_lock<std::mutex>;

    // The hidapi function a thread is inside on this handle, or null. hidraw
    // replaces a handle's error text in every read and write without a lock:
    // no two threads may be inside calls on one handle at once.
    std::atomic<const char *> callInside{nullptr};

    std::mutex mutex;                // protects every member below
    std::condition_variable changed; // a report queued, the handle ended, a failure injected
    bool alive = true;               // its attachment has not ended
    bool open = true;                // not yet released by hid_close
    bool nonBlocking = false;
    std::deque<basesim::Report> queue;
    std::size_t received = 0;
    std::size_t taken = 0;
    std::size_t dropped = 0;
    const wchar_t *lastError = nullptr;
};

#endif // TOOLS_BASESIM_SIMULATEDHANDLE_H
