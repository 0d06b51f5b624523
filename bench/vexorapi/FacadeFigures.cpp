// Figures of the whole library against the simulated base:
//  - latency from the moment a vote report is handed to the simulated base
//    (the reader waits in hid_read_timeout, so it takes it at once) to the
//    client's addVote, at a steady rate of reports, median and 99th percentile;
//  - processor time of a running facade with a base attached and no votes.
//
//   vexor_facade_figures [reports-per-second] [reports] [idle-seconds]
//                        (defaults 1000, 5000, 20)
#include <VexorAPI/IBaseManagementEvents.h>
#include <VexorAPI/IProtocol.h>
#include <VexorAPI/IVoteSessionMutators.h>
#include <VexorAPI/VexorAPI.h>
#include <VexorAPI/VoteElement.h>

#include <basesim/BaseSim.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class ReadyEvents : public IBaseManagementEvents
{
public:
    void onNoBase() override {}
    void onBaseFound() override {}
    void onOpeningBase() override {}
    void onBaseReady() override
    {
        std::lock_guard<std::mutex> guard(mutex);
        ready = true;
        changed.notify_all();
    }
    void onBaseLost() override {}

    void waitReady()
    {
        std::unique_lock<std::mutex> guard(mutex);
        changed.wait(guard, [this] { return ready; });
    }

private:
    std::mutex mutex; // protects ready
    std::condition_variable changed;
    bool ready = false;
};

// Stamps the arrival of each vote; the remote identifier is the report's index.
class ArrivalClock : public IVoteSessionMutators
{
public:
    explicit ArrivalClock(std::size_t reports)
        : IVoteSessionMutators(0, 0, &prototype), arrivals(reports)
    {
    }
    void addVote(IVoteElement *vote) override
    {
        const Clock::time_point now = Clock::now();
        const std::unique_ptr<IVoteElement> owned(vote);
        const std::size_t index = std::stoul(vote->getRemoteId(), nullptr, 16);
        std::lock_guard<std::mutex> guard(mutex);
        if (index < arrivals.size())
            arrivals[index] = now;
        ++count;
        changed.notify_all();
    }
    void voteStateChanged(int) override {}
    void recordSequenceGap() override {}
    void reportSequenceGap() override {}

    bool waitFor(std::size_t votes, std::chrono::seconds limit)
    {
        std::unique_lock<std::mutex> guard(mutex);
        return changed.wait_for(guard, limit, [&] { return count >= votes; });
    }
    Clock::time_point arrival(std::size_t index)
    {
        std::lock_guard<std::mutex> guard(mutex);
        return arrivals[index];
    }

private:
    VoteElement prototype;
    std::mutex mutex; // protects arrivals and count
    std::condition_variable changed;
    std::vector<Clock::time_point> arrivals;
    std::size_t count = 0;
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::vector<unsigned char> voteReport(std::size_t index)
{
    const auto sequence = static_cast<unsigned char>(index);
    return {0x02,
            0x30,
            sequence,
            5,
            0x81,
            static_cast<unsigned char>(index >> 16),
            static_cast<unsigned char>(index >> 8),
            static_cast<unsigned char>(index),
            sequence};
}

double percentile(std::vector<double> sorted, double share)
{
    const auto at = static_cast<std::size_t>(share * static_cast<double>(sorted.size() - 1));
    return sorted[at];
}

void measureLatency(VexorAPI &api, ArrivalClock &clock, int perSecond, std::size_t reports)
{
    api.protocol->startVote(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the start's answer
    std::vector<Clock::time_point> handed(reports);
    const auto period = std::chrono::nanoseconds(1000000000 / perSecond);
    Clock::time_point next = Clock::now();
    for (std::size_t i = 0; i < reports; ++i) {
        std::this_thread::sleep_until(next);
        handed[i] = Clock::now();
        basesim::queueInputReport(voteReport(i));
        next += period;
    }
    if (!clock.waitFor(reports, std::chrono::seconds(30))) {
        std::printf("latency: not every vote arrived\n");
        return;
    }
    std::vector<double> microseconds;
    for (std::size_t i = 0; i < reports; ++i)
        microseconds.push_back(
            std::chrono::duration<double, std::micro>(clock.arrival(i) - handed[i]).count());
    std::sort(microseconds.begin(), microseconds.end());
    std::printf(
        "latency at %d reports/s over %zu reports: median %.0f us, p99 %.0f us, max %.0f us\n",
        perSecond, reports, percentile(microseconds, 0.5), percentile(microseconds, 0.99),
        microseconds.back());
}

void measureIdle(int seconds)
{
    const double before = cpuSeconds();
    const Clock::time_point start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = cpuSeconds() - before;
    std::printf("idle with a base attached: %.3f s of CPU in %.1f s = %.3f %% of one core\n", cpu,
                wall, 100.0 * cpu / wall);
}

} // namespace

int main(int argc, char **argv)
{
    const int perSecond = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const std::size_t reports = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5000;
    const int idleSeconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 20;

    basesim::reset(true);
    // Each report is handed over when it is queued: the latency is the
    // library's, not the base's pacing of reports that come early.
    basesim::setReportInterval(basesim::Microseconds(0));
    ReadyEvents events;
    ArrivalClock clock(reports);
    auto *api = static_cast<VexorAPI *>(getConcreteIVexorAPI(&events, &clock));
    api->setReportTrace(nullptr);
    api->run();
    events.waitReady();

    measureIdle(idleSeconds);
    measureLatency(*api, clock, perSecond, reports);

    api->stop();
    delete api;
    return 0;
}
