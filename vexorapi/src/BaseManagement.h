#ifndef VEXORAPI_BASEMANAGEMENT_H
#define VEXORAPI_BASEMANAGEMENT_H

#include "IBaseManagement.h"

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>

/// The base-ready flag with its mutex and condition. The events are passed on
/// to the client on the caller's thread; onBaseReady() runs with the mutex
/// held, so a waiting reader returns only after onBaseReady() has returned.
class BaseManagement : public IBaseManagement
{
public:
    explicit BaseManagement(IBaseManagementEvents *events);
    ~BaseManagement();

    /// Waits (interruptibly) until baseReady is true.
    bool waitForBaseReady() override;
    /// Clears baseReady and a pending reader loss, then reports onNoBase().
    bool noBase() override;
    bool baseFound() override;
    bool openingBase() override;
    /// Sets baseReady, starts a new generation (with no reader loss), wakes
    /// the reader and reports onBaseReady() under the mutex.
    bool baseOpened() override;
    /// Clears baseReady and a pending reader loss, then reports onBaseLost().
    bool baseLost() override;

    unsigned long waitForReadyGeneration() override;
    bool readerLost(unsigned long generation) override;
    bool readerReportedLoss() override;

    bool isReady();

private:
    void clearReady();

    boost::mutex mutex;                  // protects baseReady, openGeneration, lossByReader
    boost::condition_variable condition; // signalled when baseReady becomes true
    bool baseReady = false;
    unsigned long openGeneration = 0;
    // The reader cleared baseReady of the current opening; the connection
    // loop has not acted on it yet.
    bool lossByReader = false;
};

#endif // VEXORAPI_BASEMANAGEMENT_H
