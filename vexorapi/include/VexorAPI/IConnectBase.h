#ifndef VEXORAPI_ICONNECTBASE_H
#define VEXORAPI_ICONNECTBASE_H

#include <VexorAPI/VexorExport.h>

class IBaseManagement;
class IProtocol;
class ISleeper;

/// The connection loop: waits for a base, opens it, watches it and reports
/// every change of state to the base management.
///
/// Internal: installed and exported because the facade's member connectBase
/// has this type, but the library runs the loop on its own thread and a
/// client does not call it (its steps, called elsewhere, open and watch the
/// base beside the library's loop, and report on the calling thread).
class VEXOR_API IConnectBase
{
public:
    IConnectBase();
    IConnectBase(IProtocol *protocol, IBaseManagement *management);
    IConnectBase(ISleeper *sleeper, IProtocol *protocol, IBaseManagement *management);
    virtual ~IConnectBase();

    virtual void connectLoop() = 0;
    virtual void connectOnce() = 0;
    virtual void waitForABase() = 0;
    virtual void waitForOpenBase() = 0;
    virtual void baseIsPresent() = 0;
    virtual bool testBaseIsPresent() = 0;

    ISleeper *sleeper = nullptr;
    IProtocol *protocol = nullptr;
    IBaseManagement *management = nullptr;
};

#endif // VEXORAPI_ICONNECTBASE_H
