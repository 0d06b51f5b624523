#ifndef TESTS_VEXORAPI_DEVICETESTSUPPORT_H
#define TESTS_VEXORAPI_DEVICETESTSUPPORT_H

// Stand-ins and wiring for the device-side tests: a sleeper that records its
// pauses, a client that records its base events, and the device object graph
// over the simulated base.

#include "DeviceIDHID.h"
#include "HIDHIDAPI.h"
#include "ISleeper.h"
#include "ProtocolVexor.h"
#include "SpecificationCollectionVexorB42MRev7.h"

#include <VexorAPI/IBaseManagementEvents.h>

#include <basesim/BaseSim.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

/// The simulated base's handles that one opening of HIDHIDAPI holds: one that
/// reads, one that writes.
constexpr int handlesPerOpening = 2;

/// Records each pause by name ("short", "medium", "long", "second",
/// "sleep"). Each pause is an interruption point of Boost.Thread and lasts
/// realMs milliseconds, so loops on a thread neither spin nor run away.
class RecordingSleeper : public ISleeper
{
public:
    explicit RecordingSleeper(int sleepMs = 0) : realMs(sleepMs) {}

    void shortSleep() override { record("short"); }
    void mediumSleep() override { record("medium"); }
    void longSleep() override { record("long"); }
    void secondSleep() override { record("second"); }
    void sleep(int, char) override { record("sleep"); }

    std::vector<std::string> pauses();
    std::size_t count(const std::string &name);
    void clear();

    /// Runs on the pausing thread at the start of every pause.
    std::function<void(const std::string &)> onPause;

private:
    void record(const char *name);

    const int realMs;
    std::mutex mutex; // protects log
    std::vector<std::string> log;
};

/// The client's base events, recorded in order by name ("noBase",
/// "baseFound", "openingBase", "baseReady", "baseLost").
class RecordingEvents : public IBaseManagementEvents
{
public:
    void onNoBase() override { record("noBase"); }
    void onBaseFound() override { record("baseFound"); }
    void onOpeningBase() override { record("openingBase"); }
    void onBaseReady() override { record("baseReady"); }
    void onBaseLost() override { record("baseLost"); }

    std::vector<std::string> events();
    /// Waits until the log satisfies done, at most timeout.
    bool waitUntil(const std::function<bool(const std::vector<std::string> &)> &done,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10));
    /// Waits until name has been recorded at least times times.
    bool waitForCount(const std::string &name, std::size_t times,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10));

    /// Runs on the calling thread inside every event, before it is recorded.
    std::function<void(const std::string &)> onEvent;

private:
    void record(const char *name);

    std::mutex mutex;                // protects log
    std::condition_variable changed; // signalled after each recorded event
    std::vector<std::string> log;
};

/// The device-side objects as the facade wires them, over the simulated base.
struct DeviceGraph
{
    explicit DeviceGraph(ISleeper *protocolSleeper);

    DeviceIDHID deviceId{basesim::vendorId, basesim::productId, 0};
    HIDHIDAPI hid{&deviceId};
    SpecificationCollectionVexorB42MRev7 specifications{&hid};
    ProtocolVexor protocol;
};

/// The recorded output reports as byte vectors.
std::vector<std::vector<unsigned char>> writtenBytes();

/// A 64-byte output report: 0x00, kind 1, command, then payload, zero-filled.
std::vector<unsigned char> outputReport(unsigned char command,
                                        const std::vector<unsigned char> &payload = {});

/// Number of occurrences of name in log.
std::size_t occurrences(const std::vector<std::string> &log, const std::string &name);

#endif // TESTS_VEXORAPI_DEVICETESTSUPPORT_H
