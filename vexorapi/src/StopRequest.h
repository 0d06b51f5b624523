#ifndef VEXORAPI_STOPREQUEST_H
#define VEXORAPI_STOPREQUEST_H

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>

#include <atomic>
#include <chrono>

/// The facade's request that its worker threads end. Unlike an interruption
/// of Boost.Thread, which is spent once its exception has been thrown, the
/// request stays set until the threads are started again: a client callback
/// that swallows the exception cannot keep a thread alive, since the next
/// pause, wait or loop of the library on that thread ends it again.
///
/// Each worker thread is bound to its facade's request (bindThisThread). On
/// any other thread (the client's own, or a test's) there is no request and
/// nothing here ever ends a pause early.
class StopRequest
{
public:
    /// flag is the facade's stop flag, which the request sets and clears.
    explicit StopRequest(std::atomic<bool> &flag);

    StopRequest(const StopRequest &) = delete;
    StopRequest &operator=(const StopRequest &) = delete;

    /// Sets the flag and wakes every pause of the bound threads.
    void request();
    /// Clears the flag, before the threads are started again.
    void clear();
    bool isRequested() const;

    /// Binds the calling thread to request (null: to none).
    static void bindThisThread(StopRequest *request);
    /// The request the calling thread is bound to; null if none.
    static StopRequest *ofThisThread();
    /// True when the calling thread is bound to a request that is set.
    static bool thisThreadStopping();
    /// Ends the calling thread's work with boost::thread_interrupted when its
    /// request is set; also an interruption point of Boost.Thread.
    static void stopPoint();
    /// Pauses the calling thread for duration; a stop point before and after,
    /// and its request ends the pause at once.
    static void pause(std::chrono::milliseconds duration);

private:
    std::atomic<bool> &requested;
    boost::mutex mutex;                 // orders setting requested with the wake-up of pauses
    boost::condition_variable released; // signalled when requested is set
};

#endif // VEXORAPI_STOPREQUEST_H
