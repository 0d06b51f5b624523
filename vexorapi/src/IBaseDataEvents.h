#ifndef VEXORAPI_IBASEDATAEVENTS_H
#define VEXORAPI_IBASEDATAEVENTS_H

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/lock_guard.hpp>
#include <boost/thread/mutex.hpp>

// How the reader thread wakes the parser thread after queueing a report.
class IBaseDataEvents
{
public:
    IBaseDataEvents() = default;
    virtual ~IBaseDataEvents() = default;

    IBaseDataEvents(const IBaseDataEvents &) = delete;
    IBaseDataEvents &operator=(const IBaseDataEvents &) = delete;

    // Wakes the parser if it waits for data.
    virtual void notifyNewData() = 0;

    // Protects the raw report queue (IRawData::elements) and orders its
    // changes with the wake-ups on condition.
    boost::mutex mutex;
    // Signalled after each report queued; the parser waits on it while the
    // queue is empty.
    boost::condition_variable condition;
};

#endif // VEXORAPI_IBASEDATAEVENTS_H
