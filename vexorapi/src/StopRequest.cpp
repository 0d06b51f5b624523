#include "StopRequest.h"

#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/thread/thread.hpp>

namespace {

thread_local StopRequest *requestOfThisThread = nullptr;

} // namespace

StopRequest::StopRequest(std::atomic<bool> &flag) : requested(flag) {}

void StopRequest::request()
{
    {
        boost::lock_guard<boost::mutex> lock(mutex);
        requested = true;
    }
    released.notify_all();
}

void StopRequest::clear()
{
    requested = false;
}

bool StopRequest::isRequested() const
{
    return requested;
}

void StopRequest::bindThisThread(StopRequest *request)
{
    requestOfThisThread = request;
}

StopRequest *StopRequest::ofThisThread()
{
    return requestOfThisThread;
}

bool StopRequest::thisThreadStopping()
{
    return requestOfThisThread && requestOfThisThread->isRequested();
}

void StopRequest::stopPoint()
{
    boost::this_thread::interruption_point();
    if (thisThreadStopping())
        throw boost::thread_interrupted();
}

void StopRequest::pause(std::chrono::milliseconds duration)
{
    stopPoint();
    StopRequest *const request = requestOfThisThread;
    const boost::posix_time::milliseconds length(duration.count());
    if (!request) {
        boost::this_thread::sleep(length);
        return;
    }
    boost::unique_lock<boost::mutex> lock(request->mutex);
    request->released.timed_wait(lock, length, [request] { return request->isRequested(); });
    lock.unlock();
    stopPoint();
}
