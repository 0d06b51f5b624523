#include "HidapiFrontEnd.h"

#include "SoleCall.h"

#include <algorithm>
#include <cstring>

namespace basesim {

namespace {

const wchar_t *const injectedWriteError = L"write failed";
const wchar_t *const noDeviceError = L"no such device";
const wchar_t *const unsupportedError = L"not supported by the simulated base";
// How long a read that found nothing waits for the votes armed for that
// instant to be handed over.
constexpr Milliseconds handOverPatience{10000};

// One hidapi call on a handle, from start to end: no other thread may be
// inside a call on the same handle meanwhile, and the handle must not have
// been closed (checked once the call is marked, so that a close racing with
// its start is caught too).
class HandleCall
{
public:
    HandleCall(hid_device *device, const char *function)
        : call(hid_device::callSlot(device, function), function, " on the same handle",
               "hidapi's calls on one handle")
    {
        device->checkOpen(function);
    }

private:
    SoleCall call;
};

} // namespace

HidapiFrontEnd::HidapiFrontEnd(BaseModel &model_)
    : model(model_), plugged(model_.isPlugged()), attachment(model_.attachment())
{
    model.addListener(this);
}

void HidapiFrontEnd::reset()
{
    readFailurePending = false;
    Lock lock(mutex);
    writesUntilFailure = 0;
    votesAfterEmptyPoll.clear();
    hiddenUntil = {};
    hideOnOpen = Milliseconds(0);
    enumerationCount = 0;
    openedSinceReset.clear();
}

bool HidapiFrontEnd::enumerate(unsigned short vendor, unsigned short product)
{
    Lock lock(mutex);
    ++enumerationCount;
    enumerated.notify_all();
    const bool matches =
        (vendor == 0 || vendor == vendorId) && (product == 0 || product == productId);
    return matches && listedLocked(Clock::now());
}

hid_device *HidapiFrontEnd::open(unsigned short vendor, unsigned short product)
{
    Lock lock(mutex);
    const bool found = vendor == vendorId && product == productId && listedLocked(Clock::now());
    return found ? openLocked() : failOpeningLocked();
}

// A path names the device without an enumeration: it opens while the base is
// plugged, also while it is hidden from the enumeration.
hid_device *HidapiFrontEnd::openPath(const char *path)
{
    Lock lock(mutex);
    const bool found = path != nullptr && std::strcmp(path, devicePath) == 0 && plugged;
    return found ? openLocked() : failOpeningLocked();
}

hid_device *HidapiFrontEnd::openLocked()
{
    everyHandle.push_back(std::make_unique<hid_device>(attachment));
    hid_device *device = everyHandle.back().get();
    openList.push_back(device);
    openedSinceReset.push_back(device);
    if (hideOnOpen.count() > 0) {
        hideLocked(hideOnOpen);
        hideOnOpen = Milliseconds(0);
    }
    lastGlobalError = nullptr;
    return device;
}

hid_device *HidapiFrontEnd::failOpeningLocked()
{
    lastGlobalError = noDeviceError;
    return nullptr;
}

void HidapiFrontEnd::close(hid_device *device)
{
    if (device == nullptr)
        return;
    const HandleCall call(device, "hid_close");
    Lock lock(mutex);
    device->release();
    openList.erase(std::remove(openList.begin(), openList.end(), device), openList.end());
}

int HidapiFrontEnd::read(hid_device *device, unsigned char *data, std::size_t length,
                         int milliseconds, const char *function)
{
    const HandleCall call(device, function);
    countBlockedRead(+1);
    const int result = device->read(data, length, milliseconds, readFailurePending);
    countBlockedRead(-1);
    if (result == 0 && milliseconds == 0)
        sendVotesAfterEmptyPoll();
    return result;
}

void HidapiFrontEnd::sendVotesAfterEmptyPoll()
{
    std::vector<Vote> votes;
    {
        Lock lock(mutex);
        votes.swap(votesAfterEmptyPoll);
    }
    if (votes.empty())
        return;
    // Neither mutex nor a handle's lock is held: the model delivers to the
    // handles through inputReport().
    model.sendVotesAndWait(votes, handOverPatience);
}

int HidapiFrontEnd::write(hid_device *device, const unsigned char *data, std::size_t length)
{
    const HandleCall call(device, "hid_write");
    if (!device->isAlive() || data == nullptr || length == 0) {
        device->setError(hid_device::disconnected);
        return -1;
    }
    if (takeWriteFailure()) {
        device->setError(injectedWriteError);
        return -1;
    }
    if (!model.receiveOutputReport(device->attachment, data, length)) {
        device->setError(hid_device::disconnected);
        return -1;
    }
    device->setError(nullptr);
    return static_cast<int>(length);
}

int HidapiFrontEnd::setNonBlocking(hid_device *device, int nonBlocking)
{
    const HandleCall call(device, "hid_set_nonblocking");
    if (!device->isAlive()) {
        device->setError(hid_device::disconnected);
        return -1;
    }
    device->setNonBlocking(nonBlocking != 0);
    return 0;
}

bool HidapiFrontEnd::isNonBlocking(hid_device *device)
{
    const HandleCall call(device, "hid_read");
    return device->isNonBlocking();
}

const wchar_t *HidapiFrontEnd::error(hid_device *device)
{
    const HandleCall call(device, "hid_error");
    return device->error();
}

const wchar_t *HidapiFrontEnd::globalError()
{
    Lock lock(mutex);
    return lastGlobalError;
}

bool HidapiFrontEnd::isAlive(hid_device *device, const char *function)
{
    const HandleCall call(device, function);
    return device->isAlive();
}

int HidapiFrontEnd::unsupported(hid_device *device, const char *function)
{
    const HandleCall call(device, function);
    device->setError(unsupportedError);
    return -1;
}

void HidapiFrontEnd::failWrite(int n)
{
    Lock lock(mutex);
    writesUntilFailure = std::max(0, n);
}

void HidapiFrontEnd::failNextRead()
{
    readFailurePending = true;
    Lock lock(mutex);
    for (hid_device *device : openList)
        device->wake(); // a read waiting now fails at once
}

void HidapiFrontEnd::queueVotesAfterNextEmptyPoll(const std::vector<Vote> &votes)
{
    Lock lock(mutex);
    votesAfterEmptyPoll = votes;
}

void HidapiFrontEnd::hideFromEnumeration(Milliseconds duration)
{
    Lock lock(mutex);
    hideLocked(duration);
}

void HidapiFrontEnd::hideAfterNextOpen(Milliseconds duration)
{
    Lock lock(mutex);
    hideOnOpen = duration;
}

void HidapiFrontEnd::showInEnumeration()
{
    Lock lock(mutex);
    hiddenUntil = {};
    hideOnOpen = Milliseconds(0);
}

int HidapiFrontEnd::openHandles()
{
    Lock lock(mutex);
    return static_cast<int>(openList.size());
}

int HidapiFrontEnd::enumerations()
{
    Lock lock(mutex);
    return enumerationCount;
}

bool HidapiFrontEnd::waitForEnumerations(int count, Milliseconds timeout)
{
    Lock lock(mutex);
    return enumerated.wait_for(lock, timeout, [&] { return enumerationCount >= count; });
}

int HidapiFrontEnd::blockedReads()
{
    Lock lock(mutex);
    return waitingReads;
}

bool HidapiFrontEnd::waitForBlockedReads(int count, Milliseconds timeout)
{
    Lock lock(mutex);
    return readsChanged.wait_for(lock, timeout, [&] { return waitingReads >= count; });
}

std::size_t HidapiFrontEnd::pendingInputReports()
{
    Lock lock(mutex);
    std::size_t pending = 0;
    for (hid_device *device : openList)
        pending += device->record().queued;
    return pending;
}

std::vector<HandleRecord> HidapiFrontEnd::handleRecords()
{
    Lock lock(mutex);
    std::vector<HandleRecord> records;
    for (hid_device *device : openedSinceReset)
        records.push_back(device->record());
    return records;
}

void HidapiFrontEnd::inputReport(const Report &report)
{
    Lock lock(mutex);
    for (hid_device *device : openList)
        device->deliver(report);
}

void HidapiFrontEnd::attachmentChanged(unsigned long attachment_, bool plugged_)
{
    Lock lock(mutex);
    attachment = attachment_;
    plugged = plugged_;
    for (hid_device *device : openList)
        device->end();
}

void HidapiFrontEnd::hideLocked(Milliseconds duration)
{
    hiddenUntil = duration == untilShown ? Clock::time_point::max() : Clock::now() + duration;
}

bool HidapiFrontEnd::listedLocked(Clock::time_point now) const
{
    return plugged && now >= hiddenUntil;
}

bool HidapiFrontEnd::takeWriteFailure()
{
    Lock lock(mutex);
    return writesUntilFailure > 0 && --writesUntilFailure == 0;
}

void HidapiFrontEnd::countBlockedRead(int change)
{
    Lock lock(mutex);
    waitingReads += change;
    readsChanged.notify_all();
}

} // namespace basesim
