#ifndef VEXORAPI_CONNECTBASE_H
#define VEXORAPI_CONNECTBASE_H

#include <VexorAPI/IConnectBase.h>

#include <memory>

/// The connection loop of the library. Every step calls the others through
/// the virtual table, so a derived class can replace any of them.
/// Internal, as IConnectBase is: not for clients.
///
/// The loop never returns by itself: it ends with boost::thread_interrupted
/// when its thread is interrupted (boost::thread::interrupt) or, on the
/// facade's connection thread, when the facade stops, at its next pause or
/// step.
class VEXOR_API ConnectBase : public IConnectBase
{
public:
    ConnectBase();
    /// Creates and owns a sleeper of its own.
    ConnectBase(IProtocol *protocol, IBaseManagement *management);
    ConnectBase(ISleeper *sleeper, IProtocol *protocol, IBaseManagement *management);
    ~ConnectBase() override;

    /// Forever: connectOnce(), then baseIsPresent().
    void connectLoop() override;
    /// waitForABase(), then waitForOpenBase().
    void connectOnce() override;
    /// Polls every 100 ms until the base is attached, reporting noBase() after
    /// each failed search and baseFound() at the end.
    void waitForABase() override;
    /// Reports openingBase(), opens the base and, on success, baseOpened().
    /// A failed opening is tried again while the base stays attached, after
    /// a pause that doubles with each failure in a row: 100 ms, 200 ms,
    /// 400 ms ... 3.2 s, then 5 s (the base's presence is checked every
    /// 100 ms meanwhile, and a client's openBase() ends the pause). A base
    /// that the client has closed (IProtocol::closeBase) is not opened.
    void waitForOpenBase() override;
    /// Polls every 100 ms while the base is present, then reports baseLost().
    void baseIsPresent() override;
    /// True if the base is attached and the reader has not reported a loss of
    /// the current opening; otherwise reports baseLost(). A base that the
    /// client has closed counts as present while it is attached.
    bool testBaseIsPresent() override;

private:
    // The sleeper made by the two-argument constructor (empty otherwise).
    std::unique_ptr<ISleeper> ownSleeper;
};

#endif // VEXORAPI_CONNECTBASE_H
