// Idle cost of the connection loop: with no base attached the loop enumerates
// the HID devices every 100 ms. Runs the library's loop (real hidapi, real
// pauses) for a while and reports the process's CPU time per minute of
// waiting, as a share of one core.
//
//   connect_idle [seconds]     (default 20)

#include "BaseManagement.h"
#include "DeviceIDHID.h"
#include "HIDHIDAPI.h"
#include "ProtocolVexor.h"
#include "SleeperBoost.h"
#include "SpecificationCollectionVexorB42MRev7.h"

#include <VexorAPI/ConnectBase.h>
#include <VexorAPI/IBaseManagementEvents.h>

#include <boost/thread/thread.hpp>

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

class CountingEvents : public IBaseManagementEvents
{
public:
    void onNoBase() override { ++searches; }
    void onBaseFound() override { ++found; }
    void onOpeningBase() override {}
    void onBaseReady() override {}
    void onBaseLost() override {}

    std::atomic<long> searches{0};
    std::atomic<long> found{0};
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char **argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    CountingEvents events;
    BaseManagement management(&events);
    DeviceIDHID deviceId(0x1881, 0x0150, 0);
    HIDHIDAPI hid(&deviceId);
    SpecificationCollectionVexorB42MRev7 specifications(&hid);
    SleeperBoost protocolSleeper;
    ProtocolVexor protocol(&protocolSleeper, &specifications);
    SleeperBoost loopSleeper;
    ConnectBase connectBase(&loopSleeper, &protocol, &management);

    const double cpuBefore = cpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    boost::thread loop([&] { connectBase.connectLoop(); });
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    loop.interrupt();
    loop.join();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    const double cpu = cpuSeconds() - cpuBefore;

    if (events.found > 0) {
        std::fprintf(stderr, "connect_idle: a base is attached; unplug it for this figure\n");
        return 1;
    }
    std::printf("waited %.1f s, %ld searches (%.1f per second)\n", wall, events.searches.load(),
                events.searches / wall);
    std::printf("CPU %.3f s = %.3f s per minute of waiting = %.2f %% of one core\n", cpu,
                cpu / wall * 60.0, cpu / wall * 100.0);
    return 0;
}
