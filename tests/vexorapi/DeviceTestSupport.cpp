#include "DeviceTestSupport.h"

#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/thread/thread.hpp>

#include <algorithm>

std::vector<std::string> RecordingSleeper::pauses()
{
    std::lock_guard<std::mutex> lock(mutex);
    return log;
}

std::size_t RecordingSleeper::count(const std::string &name)
{
    return occurrences(pauses(), name);
}

void RecordingSleeper::clear()
{
    std::lock_guard<std::mutex> lock(mutex);
    log.clear();
}

void RecordingSleeper::record(const char *name)
{
    if (onPause)
        onPause(name);
    {
        std::lock_guard<std::mutex> lock(mutex);
        log.emplace_back(name);
    }
    boost::this_thread::sleep(boost::posix_time::milliseconds(realMs));
}

std::vector<std::string> RecordingEvents::events()
{
    std::lock_guard<std::mutex> lock(mutex);
    return log;
}

bool RecordingEvents::waitUntil(const std::function<bool(const std::vector<std::string> &)> &done,
                                std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return done(log); });
}

bool RecordingEvents::waitForCount(const std::string &name, std::size_t times,
                                   std::chrono::milliseconds timeout)
{
    return waitUntil(
        [&](const std::vector<std::string> &log_) { return occurrences(log_, name) >= times; },
        timeout);
}

void RecordingEvents::record(const char *name)
{
    if (onEvent)
        onEvent(name);
    std::lock_guard<std::mutex> lock(mutex);
    log.emplace_back(name);
    changed.notify_all();
}

DeviceGraph::DeviceGraph(ISleeper *protocolSleeper) : protocol(protocolSleeper, &specifications) {}

std::vector<std::vector<unsigned char>> writtenBytes()
{
    std::vector<std::vector<unsigned char>> bytes;
    for (const basesim::WrittenReport &report : basesim::writtenReports())
        bytes.push_back(report.bytes);
    return bytes;
}

std::vector<unsigned char> outputReport(unsigned char command,
                                        const std::vector<unsigned char> &payload)
{
    std::vector<unsigned char> report(64, 0);
    report[1] = 0x01;
    report[2] = command;
    std::copy(payload.begin(), payload.end(), report.begin() + 3);
    return report;
}

std::size_t occurrences(const std::vector<std::string> &log, const std::string &name)
{
    return static_cast<std::size_t>(std::count(log.begin(), log.end(), name));
}
