#ifndef TOOLS_BASESIM_SIMULATEDBASE_H
#define TOOLS_BASESIM_SIMULATEDBASE_H

#include <basesim/BaseSim.h>

#include <hidapi/hidapi.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>

// A handle of the simulated device, as hid_open hands it out.
struct hid_device_
{
    // The attachment it was opened on; dead once the base is unplugged.
    unsigned long attachment = 0;
    bool nonBlocking = false;
    const wchar_t *lastError = nullptr;
};

namespace basesim {

/// The one simulated base of the process and the hidapi operations on it.
class SimulatedBase
{
public:
    static SimulatedBase &instance();

    void reset(bool plugged);
    void plug();
    void unplug();
    bool isPlugged();

    void queueInputReport(const std::vector<unsigned char> &report);
    bool queueVotes(const std::vector<Vote> &votes);
    std::size_t pendingInputReports();

    std::vector<WrittenReport> writtenReports();
    void clearWrittenReports();
    bool waitForWrites(std::size_t count, Milliseconds timeout);

    void failWrite(int n);
    void failNextRead();
    void replugAfterWrite(int n);
    void hideFromEnumeration(Milliseconds duration);
    void hideAfterNextOpen(Milliseconds duration);
    int openHandles();
    int enumerations();
    bool waitForEnumerations(int count, Milliseconds timeout);
    int blockedReads();

    // The hidapi operations.
    bool enumerate(unsigned short vendor, unsigned short product);
    hid_device *open(unsigned short vendor, unsigned short product);
    hid_device *openPath(const char *path);
    void close(hid_device *device);
    int read(hid_device *device, unsigned char *data, std::size_t length, int milliseconds);
    int write(hid_device *device, const unsigned char *data, std::size_t length);
    int setNonBlocking(hid_device *device, int nonBlocking);
    bool isNonBlocking(hid_device *device);
    const wchar_t *error(hid_device *device);
    bool isAlive(hid_device *device);

    static constexpr const char *devicePath = "basesim:0";

private:
    using Lock = std::unique_lock<std::mutex>;

    SimulatedBase();
    bool attachedLocked(Clock::time_point now) const;
    bool aliveLocked(const hid_device *device) const;
    bool takeReadFailureLocked(hid_device *device);
    void queueLocked(const std::vector<unsigned char> &report);
    void unplugLocked();
    void answerCommandLocked(const unsigned char *report, std::size_t length);
    void setErrorLocked(hid_device *device, const wchar_t *text);

    std::mutex mutex;                      // protects every member below and the handles' fields
    std::condition_variable inputQueued;   // an input report queued or the base unplugged
    std::condition_variable reportWritten; // an output report recorded
    std::condition_variable enumerated;    // hid_enumerate called
    bool plugged = true;
    unsigned long attachment = 1;
    std::deque<std::vector<unsigned char>> inputReports;
    std::vector<WrittenReport> written;
    std::set<hid_device *> handles;
    int writesUntilFailure = 0; // 0: no failure pending
    int writesUntilReplug = 0;  // 0: no replug pending
    bool readFailurePending = false;
    Clock::time_point hiddenUntil{};
    Milliseconds hideOnOpen{0};
    int enumerationCount = 0;
    int waitingReads = 0;
    unsigned char reportSequence = 0;
    unsigned char recordSequence = 0;
    const wchar_t *globalError = nullptr;
};

} // namespace basesim

#endif // TOOLS_BASESIM_SIMULATEDBASE_H
