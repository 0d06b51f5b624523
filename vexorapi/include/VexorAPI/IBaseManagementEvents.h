#ifndef VEXORAPI_IBASEMANAGEMENTEVENTS_H
#define VEXORAPI_IBASEMANAGEMENTEVENTS_H

/// Base-state callbacks, implemented by the client. They run on the library's
/// connection thread, except one onBaseLost() that the reader thread may
/// report when a read fails; a client must accept calls from both threads.
/// None runs on a thread of the client's, also not for the client's own
/// protocol->openBase().
///
/// What a callback may call (the same for IVoteSessionMutators): the
/// commands of protocol, its findBase() and baseIsAttached(), closeBase(),
/// openBase() (which only asks for an opening and answers false), the
/// facade's stop() (which only asks the threads to end), run() (which does
/// nothing) and setReportTrace(). Not waitForBase() (it holds the library's
/// thread for up to 20 s), readReport() (a report it takes never reaches
/// addVote) or anything of connectBase (the library's own connection loop);
/// never destroy the facade. Let no exception leave a callback: the library
/// catches none, and the process ends (std::terminate). No callback runs
/// once the facade's stop() has returned.
class IBaseManagementEvents
{
public:
    virtual ~IBaseManagementEvents() = default;
    /// A search found no base (repeats about ten times a second).
    virtual void onNoBase() = 0;
    /// A search found the base.
    virtual void onBaseFound() = 0;
    /// The base is being opened and initialised.
    virtual void onOpeningBase() = 0;
    /// The base is open and initialised; votes are read once this returns.
    /// Every opening sets the base back to its start (frequencies 'A'/'A',
    /// the welcome lines, no vote running; voteStateChanged(3) follows):
    /// re-apply the client's own settings here.
    virtual void onBaseReady() = 0;
    /// The base went away (may arrive more than once for one unplugging).
    virtual void onBaseLost() = 0;
};

#endif // VEXORAPI_IBASEMANAGEMENTEVENTS_H
