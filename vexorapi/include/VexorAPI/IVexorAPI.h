#ifndef VEXORAPI_IVEXORAPI_H
#define VEXORAPI_IVEXORAPI_H

#include <VexorAPI/VexorExport.h>
#include <VexorAPI/VexorVersion.h>

class IBaseManagementEvents;
class IConnectBase;
class IDeviceReader;
class IInputReportsParser;
class IProtocol;
class IVoteSessionMutators;

// What a client holds of the library: start and stop its threads, and reach
// the base's commands through protocol.
//
// There is no virtual destructor: a facade is destroyed through its concrete
// type VexorAPI. The destructor is protected so that deleting through an
// IVexorAPI* does not compile.
class VEXOR_API IVexorAPI
{
public:
    // Internal, the three constructors: the facade's own. A client gets its
    // facade from getConcreteIVexorAPI.
    IVexorAPI();
    // Stores protocol and connectBase only.
    IVexorAPI(IProtocol *protocol, IConnectBase *connectBase, IDeviceReader *reader,
              IInputReportsParser *parser);
    // Stores nothing.
    IVexorAPI(IBaseManagementEvents *events, IVoteSessionMutators *mutators);

    // Starts the connection, reader and parser threads; returns at once.
    virtual void run() = 0;
    // Ends the three threads and waits for them; from inside a callback it
    // only asks them to end (see VexorAPI::stop).
    virtual void stop() = 0;

    // Commands to the base (frequencies, vote start and stop, display lines),
    // from any thread, several at once.
    IProtocol *protocol = nullptr;
    // Internal: the loop that finds, opens and watches the base, which the
    // library runs on its connection thread. A client does not call it.
    IConnectBase *connectBase = nullptr;

protected:
    ~IVexorAPI();
};

// Builds the whole library for the client's two callback objects, which must
// outlive it. No thread runs until run(). Destroy the result as a VexorAPI:
//     delete static_cast<VexorAPI *>(api);
// Construction errors propagate as exceptions.
VEXOR_API IVexorAPI *getConcreteIVexorAPI(IBaseManagementEvents *events,
                                          IVoteSessionMutators *mutators);

#endif // VEXORAPI_IVEXORAPI_H
