#ifndef VEXORAPI_IBASEMANAGEMENT_H
#define VEXORAPI_IBASEMANAGEMENT_H

class IBaseManagementEvents;

/// Whether a base is open and ready to be read, shared by the connection loop
/// (which reports every step of finding, opening and losing the base) and the
/// device reader (which waits for a ready base). Every step is passed on to
/// the client's IBaseManagementEvents.
///
/// Each successful opening starts a new generation. The reader takes the
/// generation it reads from (waitForReadyGeneration) and reports the loss it
/// detects for that generation only (readerLost), so a failed read on a handle
/// that the connection loop has meanwhile replaced by a new opening does not
/// clear the ready flag of the new one.
///
/// An opening starts a new generation too, when it opens the device, after
/// the reader has left the handle of the previous one (readerLeft; see
/// IOpeningGate::openDevice). A client's opening of a ready base keeps the
/// handles and the generation, so the reader reads on.
///
/// A loss that the reader reports while the ready flag is still set is also
/// left for the connection loop (readerReportedLoss): the base may still be
/// enumerated (a transient read error, or an unplug and replug between two
/// presence checks), and only the loop's reopening wakes the reader again.
///
/// A close that the client asks for is no loss (closeRequested): it ends the
/// generation without an event, and the connection loop leaves the base
/// closed until the client opens it again (requestOpening) or the base is
/// lost (noBase, baseLost).
///
/// Only the connection loop opens the base. A client's opening is a request
/// that the loop carries out at its next step (openingRequested); the client
/// waits for its answer (awaitOpening). Each opening answers the requests
/// made before it began (openingBase) when it ends (baseOpened,
/// openingFailed); a search that finds no base (noBase) answers every
/// pending request with a failure.
class IBaseManagement
{
public:
    IBaseManagement();
    explicit IBaseManagement(IBaseManagementEvents *events);

    /// Blocks until a base is ready.
    virtual bool waitForBaseReady() = 0;
    /// Also answers every pending opening request with a failure.
    virtual bool noBase() = 0;
    virtual bool baseFound() = 0;
    /// An opening begins: it answers the requests made so far. One for a
    /// request while the base is ready keeps its handles.
    virtual bool openingBase() = 0;
    /// Reports onBaseReady() and then marks the base ready, unless it is
    /// closed on request (then only the requests are answered). Answers
    /// whether the base is ready afterwards, which is also the requests'
    /// answer.
    virtual bool baseOpened() = 0;
    virtual bool baseLost() = 0;

    /// Blocks until a base is ready; answers the generation of that opening,
    /// whose handle the reader reads from now on. A stop point (StopRequest).
    virtual unsigned long waitForReadyGeneration() = 0;
    /// True while generation is the current opening's.
    virtual bool isCurrentGeneration(unsigned long generation) = 0;
    /// The reader no longer reads the handle of generation.
    virtual void readerLeft(unsigned long generation) = 0;
    /// A loss seen by the reader on the opening of that generation. If no
    /// newer opening has happened, clears the ready flag, reports onBaseLost()
    /// and answers true; otherwise changes nothing and answers false.
    virtual bool readerLost(unsigned long generation) = 0;
    /// True if the reader has cleared the ready flag of the current opening
    /// and the connection loop has neither reported a loss (noBase, baseLost)
    /// nor opened the base since.
    virtual bool readerReportedLoss() = 0;
    /// The client closed the base: clears the ready flag without an event and
    /// ends the current generation, so the reader's failed read on the closed
    /// handle reports nothing.
    virtual bool closeRequested() = 0;
    /// True from closeRequested() until requestOpening(), noBase() or
    /// baseLost().
    virtual bool closedOnRequest() = 0;

    /// The client asks for an opening: ends a close on request and answers
    /// the ticket to await.
    virtual unsigned long requestOpening() = 0;
    /// True while a request waits for an opening to begin.
    virtual bool openingRequested() = 0;
    /// The opening begun by openingBase() failed; answers false.
    virtual bool openingFailed() = 0;
    /// Blocks until the request of ticket has been answered and answers
    /// whether the base was opened; false at once while the facade's threads
    /// do not run, since nobody else opens the base.
    virtual bool awaitOpening(unsigned long ticket) = 0;
    /// Whether the facade's threads run. Clearing it wakes every thread
    /// waiting here: a waiting request fails, and a thread that its facade
    /// asks to stop (StopRequest) sees the request.
    virtual void setThreadsRunning(bool running) = 0;

    IBaseManagementEvents *events = nullptr;

protected:
    // Never destroyed through this interface.
    ~IBaseManagement();
};

#endif // VEXORAPI_IBASEMANAGEMENT_H
