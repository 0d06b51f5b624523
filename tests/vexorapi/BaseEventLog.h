#ifndef TESTS_VEXORAPI_BASEEVENTLOG_H
#define TESTS_VEXORAPI_BASEEVENTLOG_H

#include <VexorAPI/IBaseManagementEvents.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

// A client's base-state callbacks that count each event and let a test wait
// for a count to be reached. Calls come from the connection and reader threads.
class BaseEventLog : public IBaseManagementEvents
{
public:
    enum Event { noBase, baseFound, openingBase, baseReady, baseLost, eventCount };

    void onNoBase() override { count(noBase); }
    void onBaseFound() override { count(baseFound); }
    void onOpeningBase() override { count(openingBase); }
    void onBaseReady() override { count(baseReady); }
    void onBaseLost() override { count(baseLost); }

    int operator[](Event event) const
    {
        std::lock_guard<std::mutex> guard(mutex);
        return counts[event];
    }

    // Waits until event has happened at least times times; false after limit.
    bool waitFor(Event event, int times, std::chrono::milliseconds limit = std::chrono::seconds(20))
    {
        std::unique_lock<std::mutex> guard(mutex);
        return changed.wait_for(guard, limit, [&] { return counts[event] >= times; });
    }

private:
    void count(Event event)
    {
        std::lock_guard<std::mutex> guard(mutex);
        ++counts[event];
        changed.notify_all();
    }

    mutable std::mutex mutex; // protects counts
    std::condition_variable changed;
    int counts[eventCount] = {};
};

#endif // TESTS_VEXORAPI_BASEEVENTLOG_H
