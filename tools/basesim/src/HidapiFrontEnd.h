#ifndef TOOLS_BASESIM_HIDAPIFRONTEND_H
#define TOOLS_BASESIM_HIDAPIFRONTEND_H

#include "BaseModel.h"
#include "SimulatedHandle.h"

#include <hidapi/hidapi.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace basesim {

/// The simulated base as hidapi's functions show it: the enumeration, the
/// handles (each with its own queue, see hid_device_), and the faults that
/// only this transport has (failed reads and writes, a base that drops out of
/// the enumeration). Calls on different handles run concurrently: a handle
/// takes only its own lock, and no lock is held while a read waits.
///
/// Lock order: the model's lock, then mutex, then a handle's lock. Nothing
/// here calls into the model while holding mutex or a handle's lock.
class HidapiFrontEnd : public BaseModel::Listener
{
public:
    explicit HidapiFrontEnd(BaseModel &model);

    /// Clears the faults and the counters; the handles opened from now on
    /// start a new list of records.
    void reset();

    bool enumerate(unsigned short vendor, unsigned short product);
    hid_device *open(unsigned short vendor, unsigned short product);
    hid_device *openPath(const char *path);
    void close(hid_device *device);
    int read(hid_device *device, unsigned char *data, std::size_t length, int milliseconds,
             const char *function);
    int write(hid_device *device, const unsigned char *data, std::size_t length);
    int setNonBlocking(hid_device *device, int nonBlocking);
    bool isNonBlocking(hid_device *device);
    const wchar_t *error(hid_device *device);
    const wchar_t *globalError();
    bool isAlive(hid_device *device, const char *function);
    /// A per-device function the simulation does not support: -1, after the
    /// checks of a call on the handle.
    int unsupported(hid_device *device, const char *function);

    void failWrite(int n);
    void failNextRead();
    void queueVotesAfterNextEmptyPoll(const std::vector<Vote> &votes);
    void hideFromEnumeration(Milliseconds duration);
    void hideAfterNextOpen(Milliseconds duration);
    void showInEnumeration();

    int openHandles();
    int enumerations();
    bool waitForEnumerations(int count, Milliseconds timeout);
    int blockedReads();
    bool waitForBlockedReads(int count, Milliseconds timeout);
    std::size_t pendingInputReports();
    std::vector<HandleRecord> handleRecords();

    void inputReport(const Report &report) override;
    void attachmentChanged(unsigned long attachment, bool plugged) override;

    static constexpr const char *devicePath = "basesim:0";

private:
    using Lock = std::unique_lock<std::mutex>;

    void hideLocked(Milliseconds duration);
    bool listedLocked(Clock::time_point now) const;
    hid_device *openLocked();
    hid_device *failOpeningLocked();
    bool takeWriteFailure();
    // A read that did not wait has found nothing: the votes armed for that
    // instant, if any, go out before it returns.
    void sendVotesAfterEmptyPoll();
    void countBlockedRead(int change);

    BaseModel &model;
    std::atomic<bool> readFailurePending{false}; // taken by the first read to see it

    std::mutex mutex;                     // protects every member below
    std::condition_variable enumerated;   // hid_enumerate called
    std::condition_variable readsChanged; // a read started or ended
    // Every handle ever opened: never freed (see hid_device_).
    std::vector<std::unique_ptr<hid_device>> everyHandle;
    std::vector<hid_device *> openList;         // not yet closed
    std::vector<hid_device *> openedSinceReset; // in order of opening
    bool plugged;
    unsigned long attachment;
    int writesUntilFailure = 0;            // 0: no failure pending
    std::vector<Vote> votesAfterEmptyPoll; // empty: none armed
    Clock::time_point hiddenUntil{};       // time_point::max(): until shown
    Milliseconds hideOnOpen{0};            // 0: no hiding at the next opening
    int enumerationCount = 0;
    int waitingReads = 0;
    const wchar_t *lastGlobalError = nullptr;
};

} // namespace basesim

#endif // TOOLS_BASESIM_HIDAPIFRONTEND_H
