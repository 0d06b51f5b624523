#include "SimulatedBase.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace basesim {

namespace {

constexpr unsigned char commandKind = 0x01;
constexpr unsigned char startVoteCommand = 0x11;
constexpr unsigned char stopVoteCommand = 0x12;
constexpr unsigned char voteKind = 0x02;
constexpr unsigned char voteCommand = 0x30;
constexpr std::size_t voteHeaderSize = 4;
constexpr std::size_t choiceRecordSize = 5;
constexpr std::size_t recordsPerReport = (reportSize - voteHeaderSize) / choiceRecordSize;

const wchar_t *const unpluggedError = L"device disconnected";
const wchar_t *const injectedError = L"write failed";
const wchar_t *const injectedReadError = L"read failed";
const wchar_t *const noDeviceError = L"no such device";
const wchar_t *const closedError = L"device handle closed";

char upperCase(char answer)
{
    return static_cast<char>(std::toupper(static_cast<unsigned char>(answer)));
}

bool choiceAnswer(char answer)
{
    const char upper = upperCase(answer);
    return upper >= 'A' && upper <= 'F';
}

void appendChoiceRecord(std::vector<unsigned char> &report, const Vote &vote,
                        unsigned char sequence)
{
    report.push_back(static_cast<unsigned char>(upperCase(vote.answer) + 0x40));
    report.push_back(static_cast<unsigned char>(vote.remote >> 16));
    report.push_back(static_cast<unsigned char>(vote.remote >> 8));
    report.push_back(static_cast<unsigned char>(vote.remote));
    report.push_back(sequence);
}

} // namespace

SimulatedBase &SimulatedBase::instance()
{
    // Never destroyed: threads of the program may still call hidapi while
    // static objects are torn down at exit.
    static SimulatedBase *const base = new SimulatedBase;
    return *base;
}

SimulatedBase::SimulatedBase()
{
    const char *start = std::getenv("BASESIM_START");
    plugged = start == nullptr || std::strcmp(start, "unplugged") != 0;
}

void SimulatedBase::reset(bool pluggedAfter)
{
    Lock lock(mutex);
    plugged = pluggedAfter;
    ++attachment;
    inputReports.clear();
    written.clear();
    writesUntilFailure = 0;
    writesUntilReplug = 0;
    readFailurePending = false;
    hiddenUntil = {};
    hideOnOpen = Milliseconds(0);
    enumerationCount = 0;
    reportSequence = 0;
    recordSequence = 0;
    inputQueued.notify_all();
}

void SimulatedBase::plug()
{
    Lock lock(mutex);
    if (plugged)
        return;
    plugged = true;
    ++attachment;
}

void SimulatedBase::unplug()
{
    Lock lock(mutex);
    unplugLocked();
}

bool SimulatedBase::isPlugged()
{
    Lock lock(mutex);
    return plugged;
}

void SimulatedBase::queueInputReport(const std::vector<unsigned char> &report)
{
    Lock lock(mutex);
    queueLocked(report);
}

bool SimulatedBase::queueVotes(const std::vector<Vote> &votes)
{
    if (!std::all_of(votes.begin(), votes.end(),
                     [](const Vote &v) { return choiceAnswer(v.answer); }))
        return false;
    Lock lock(mutex);
    for (std::size_t first = 0; first < votes.size(); first += recordsPerReport) {
        const std::size_t count = std::min(recordsPerReport, votes.size() - first);
        std::vector<unsigned char> report{voteKind, voteCommand, reportSequence++,
                                          static_cast<unsigned char>(count * choiceRecordSize)};
        for (std::size_t i = first; i < first + count; ++i)
            appendChoiceRecord(report, votes[i], recordSequence++);
        queueLocked(report);
    }
    return true;
}

std::size_t SimulatedBase::pendingInputReports()
{
    Lock lock(mutex);
    return inputReports.size();
}

std::vector<WrittenReport> SimulatedBase::writtenReports()
{
    Lock lock(mutex);
    return written;
}

void SimulatedBase::clearWrittenReports()
{
    Lock lock(mutex);
    written.clear();
}

bool SimulatedBase::waitForWrites(std::size_t count, Milliseconds timeout)
{
    Lock lock(mutex);
    return reportWritten.wait_for(lock, timeout, [&] { return written.size() >= count; });
}

void SimulatedBase::failWrite(int n)
{
    Lock lock(mutex);
    writesUntilFailure = std::max(0, n);
}

void SimulatedBase::failNextRead()
{
    Lock lock(mutex);
    readFailurePending = true;
    inputQueued.notify_all(); // a read waiting now fails at once
}

void SimulatedBase::replugAfterWrite(int n)
{
    Lock lock(mutex);
    writesUntilReplug = std::max(0, n);
}

void SimulatedBase::hideFromEnumeration(Milliseconds duration)
{
    Lock lock(mutex);
    hiddenUntil = Clock::now() + duration;
}

void SimulatedBase::hideAfterNextOpen(Milliseconds duration)
{
    Lock lock(mutex);
    hideOnOpen = duration;
}

int SimulatedBase::openHandles()
{
    Lock lock(mutex);
    return static_cast<int>(handles.size());
}

int SimulatedBase::enumerations()
{
    Lock lock(mutex);
    return enumerationCount;
}

bool SimulatedBase::waitForEnumerations(int count, Milliseconds timeout)
{
    Lock lock(mutex);
    return enumerated.wait_for(lock, timeout, [&] { return enumerationCount >= count; });
}

int SimulatedBase::blockedReads()
{
    Lock lock(mutex);
    return waitingReads;
}

bool SimulatedBase::enumerate(unsigned short vendor, unsigned short product)
{
    Lock lock(mutex);
    ++enumerationCount;
    enumerated.notify_all();
    const bool matches =
        (vendor == 0 || vendor == vendorId) && (product == 0 || product == productId);
    return matches && attachedLocked(Clock::now());
}

hid_device *SimulatedBase::open(unsigned short vendor, unsigned short product)
{
    Lock lock(mutex);
    const Clock::time_point now = Clock::now();
    if (vendor != vendorId || product != productId || !attachedLocked(now)) {
        globalError = noDeviceError;
        return nullptr;
    }
    auto *device = new hid_device;
    device->attachment = attachment;
    handles.insert(device);
    if (hideOnOpen.count() > 0) {
        hiddenUntil = now + hideOnOpen;
        hideOnOpen = Milliseconds(0);
    }
    globalError = nullptr;
    return device;
}

hid_device *SimulatedBase::openPath(const char *path)
{
    if (path == nullptr || std::strcmp(path, devicePath) != 0) {
        Lock lock(mutex);
        globalError = noDeviceError;
        return nullptr;
    }
    return open(vendorId, productId);
}

void SimulatedBase::close(hid_device *device)
{
    if (device == nullptr)
        return;
    Lock lock(mutex);
    if (handles.erase(device) == 0)
        return; // not one of ours, or closed already
    delete device;
}

int SimulatedBase::read(hid_device *device, unsigned char *data, std::size_t length,
                        int milliseconds)
{
    Lock lock(mutex);
    if (!aliveLocked(device)) {
        setErrorLocked(device, unpluggedError);
        return -1;
    }
    if (takeReadFailureLocked(device))
        return -1;
    const auto ready = [&] {
        return !inputReports.empty() || !aliveLocked(device) || readFailurePending;
    };
    ++waitingReads;
    if (milliseconds < 0)
        inputQueued.wait(lock, ready);
    else
        inputQueued.wait_for(lock, Milliseconds(milliseconds), ready);
    --waitingReads;
    if (!aliveLocked(device)) {
        setErrorLocked(device, unpluggedError);
        return -1;
    }
    if (takeReadFailureLocked(device))
        return -1;
    setErrorLocked(device, nullptr);
    if (inputReports.empty())
        return 0;
    const std::vector<unsigned char> report = std::move(inputReports.front());
    inputReports.pop_front();
    const std::size_t delivered = std::min(length, report.size());
    std::copy_n(report.begin(), delivered, data);
    return static_cast<int>(delivered);
}

int SimulatedBase::write(hid_device *device, const unsigned char *data, std::size_t length)
{
    Lock lock(mutex);
    if (!aliveLocked(device) || data == nullptr || length == 0) {
        setErrorLocked(device, unpluggedError);
        return -1;
    }
    if (writesUntilFailure > 0 && --writesUntilFailure == 0) {
        setErrorLocked(device, injectedError);
        return -1;
    }
    written.push_back({Clock::now(), std::vector<unsigned char>(data, data + length)});
    answerCommandLocked(data, length);
    reportWritten.notify_all();
    setErrorLocked(device, nullptr);
    if (writesUntilReplug > 0 && --writesUntilReplug == 0) {
        unplugLocked();
        plugged = true;
        ++attachment;
    }
    return static_cast<int>(length);
}

int SimulatedBase::setNonBlocking(hid_device *device, int nonBlocking)
{
    Lock lock(mutex);
    if (!aliveLocked(device)) {
        setErrorLocked(device, unpluggedError);
        return -1;
    }
    device->nonBlocking = nonBlocking != 0;
    return 0;
}

bool SimulatedBase::isNonBlocking(hid_device *device)
{
    Lock lock(mutex);
    return handles.count(device) != 0 && device->nonBlocking;
}

const wchar_t *SimulatedBase::error(hid_device *device)
{
    Lock lock(mutex);
    if (device == nullptr)
        return globalError;
    return handles.count(device) != 0 ? device->lastError : closedError;
}

bool SimulatedBase::isAlive(hid_device *device)
{
    Lock lock(mutex);
    return aliveLocked(device);
}

bool SimulatedBase::attachedLocked(Clock::time_point now) const
{
    return plugged && now >= hiddenUntil;
}

bool SimulatedBase::aliveLocked(const hid_device *device) const
{
    return handles.count(const_cast<hid_device *>(device)) != 0 && plugged &&
           device->attachment == attachment;
}

// Consumes an injected read failure, if one is pending, for this read.
bool SimulatedBase::takeReadFailureLocked(hid_device *device)
{
    if (!readFailurePending)
        return false;
    readFailurePending = false;
    setErrorLocked(device, injectedReadError);
    return true;
}

void SimulatedBase::unplugLocked()
{
    plugged = false;
    ++attachment;
    inputReports.clear();
    inputQueued.notify_all();
}

void SimulatedBase::queueLocked(const std::vector<unsigned char> &report)
{
    if (!plugged)
        return;
    std::vector<unsigned char> padded(reportSize, 0);
    std::copy_n(report.begin(), std::min(report.size(), reportSize), padded.begin());
    inputReports.push_back(std::move(padded));
    inputQueued.notify_all();
}

// The base confirms the start and the end of a vote with an input report.
void SimulatedBase::answerCommandLocked(const unsigned char *report, std::size_t length)
{
    if (length < 3 || report[0] != 0x00 || report[1] != commandKind)
        return;
    if (report[2] == startVoteCommand || report[2] == stopVoteCommand)
        queueLocked({commandKind, report[2]});
}

void SimulatedBase::setErrorLocked(hid_device *device, const wchar_t *text)
{
    if (handles.count(device) != 0)
        device->lastError = text;
    else
        globalError = text;
}

} // namespace basesim
