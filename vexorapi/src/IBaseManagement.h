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
/// A loss that the reader reports while the ready flag is still set is also
/// left for the connection loop (readerReportedLoss): the base may still be
/// enumerated (a transient read error, or an unplug and replug between two
/// presence checks), and only the loop's reopening wakes the reader again.
///
/// A close that the client asks for is no loss (closeRequested): it ends the
/// generation without an event, and the connection loop leaves the base
/// closed until the client opens it again (openRequested) or the base is
/// lost (noBase, baseLost).
class IBaseManagement
{
public:
    IBaseManagement();
    explicit IBaseManagement(IBaseManagementEvents *events);

    /// Blocks until a base is ready.
    virtual bool waitForBaseReady() = 0;
    virtual bool noBase() = 0;
    virtual bool baseFound() = 0;
    virtual bool openingBase() = 0;
    /// Reports onBaseReady() and then marks the base ready, unless it is
    /// closed on request (then nothing happens). Answers whether the base is
    /// ready afterwards.
    virtual bool baseOpened() = 0;
    virtual bool baseLost() = 0;

    /// Blocks until a base is ready; answers the generation of that opening.
    /// A stop point (StopRequest).
    virtual unsigned long waitForReadyGeneration() = 0;
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
    /// The client opens the base itself: ends a close on request.
    virtual bool openRequested() = 0;
    /// True from closeRequested() until openRequested(), noBase() or
    /// baseLost().
    virtual bool closedOnRequest() = 0;
    /// Wakes every thread waiting here, so that a thread whose facade asks it
    /// to stop (StopRequest) sees the request.
    virtual void wakeWaiters() = 0;

    IBaseManagementEvents *events = nullptr;

protected:
    // Never destroyed through this interface.
    ~IBaseManagement();
};

#endif // VEXORAPI_IBASEMANAGEMENT_H
