#ifndef VEXORAPI_BASEMANAGEMENT_H
#define VEXORAPI_BASEMANAGEMENT_H

#include "IBaseManagement.h"
#include "IOpeningGate.h"

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>

/// The base-ready flag with its mutex and condition. The events are passed on
/// to the client on the caller's thread, never with the mutex held, so a
/// client may call into the library from any event. The flag is set only after
/// onBaseReady() has returned, so a waiting reader returns only after it.
///
/// Also the opening gate: the steps of an opening pass only while the client
/// has not closed the base.
class BaseManagement : public IBaseManagement, public IOpeningGate
{
public:
    explicit BaseManagement(IBaseManagementEvents *events);
    ~BaseManagement();

    /// Waits until baseReady is true; a stop point.
    bool waitForBaseReady() override;
    /// Clears baseReady and a pending reader loss, then reports onNoBase().
    bool noBase() override;
    bool baseFound() override;
    /// For a client's request while the base is ready, the opening keeps
    /// the handles of the current generation (see openDevice()).
    bool openingBase() override;
    /// Starts a new generation (with no reader loss) and reports
    /// onBaseReady(); then sets baseReady and wakes the reader, unless a loss,
    /// a close or another opening came meanwhile. An opening that kept its
    /// handles reports onBaseReady() with baseReady still set, unless a loss
    /// or a close has ended their generation (then nothing). Nothing while
    /// closed on request.
    bool baseOpened() override;
    /// Clears baseReady, a pending reader loss and a close on request, then
    /// reports onBaseLost().
    bool baseLost() override;

    unsigned long waitForReadyGeneration() override;
    bool isCurrentGeneration(unsigned long generation) override;
    void readerLeft(unsigned long generation) override;
    bool readerLost(unsigned long generation) override;
    bool readerReportedLoss() override;
    bool closeRequested() override;
    bool closedOnRequest() override;
    unsigned long requestOpening() override;
    bool openingRequested() override;
    bool openingFailed() override;
    bool awaitOpening(unsigned long ticket) override;
    void setThreadsRunning(bool running) override;

    bool openDevice(const std::function<bool()> &open) override;
    bool pass(const std::function<bool()> &step) override;

    bool isReady();

private:
    // True while baseReady is set and generation is the current one.
    bool isReadyGenerationLocked(unsigned long generation) const;
    // Clears baseReady, a pending reader loss, an opening being announced and
    // a close on request; clearReadyLocked() with the mutex held.
    void clearReady();
    void clearReadyLocked();
    // Answers the requests that the last opening began for; answers opened.
    bool answerOpeningsLocked(bool opened);

    // Held across each step of an opening that passes the gate, and while a
    // close on request is set; taken before mutex.
    boost::mutex stepMutex;
    // protects baseReady, openGeneration, readingGeneration,
    // announcedGeneration, keptGeneration, lossByReader, closedByClient, the
    // opening requests and threadsRunning
    boost::mutex mutex;
    // signalled when baseReady becomes true, when the reader leaves a handle,
    // when requests are answered, and to wake threads asked to stop
    boost::condition_variable condition;
    bool baseReady = false;
    unsigned long openGeneration = 0;
    // The generation whose handle the reader reads; 0 while it reads none.
    unsigned long readingGeneration = 0;
    // The generation whose onBaseReady() is being delivered; 0 when none is,
    // or when a loss or a close has overtaken it.
    unsigned long announcedGeneration = 0;
    // The generation whose handles the opening in progress keeps; 0 when it
    // opens the device afresh.
    unsigned long keptGeneration = 0;
    // The reader cleared baseReady of the current opening; the connection
    // loop has not acted on it yet.
    bool lossByReader = false;
    // The client closed the base and has not opened it again.
    bool closedByClient = false;
    // Opening requests, counted: made, covered by an opening that began,
    // answered; and the last answer.
    unsigned long openingsRequested = 0;
    unsigned long openingsBegun = 0;
    unsigned long openingsAnswered = 0;
    bool lastAnswer = false;
    bool threadsRunning = false;
};

#endif // VEXORAPI_BASEMANAGEMENT_H
