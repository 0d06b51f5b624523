#ifndef VEXORAPI_VEXORAPI_H
#define VEXORAPI_VEXORAPI_H

#include <VexorAPI/IVexorAPI.h>

#include <atomic>
#include <iosfwd>
#include <memory>
#include <mutex>

namespace boost {
class thread;
}

class IBaseDataEvents;
class IBaseManagement;
class IRawData;
class ISleeper;

// The library's facade. The wiring constructor (used by getConcreteIVexorAPI)
// builds every component; run() starts three threads: the connection loop,
// the device reader and the input report parser. Base-state changes reach the
// client's IBaseManagementEvents and votes its IVoteSessionMutators, always on
// those threads.
class VEXOR_API VexorAPI final : public IVexorAPI
{
public:
    // Internal: no components; such a facade is not to be run.
    VexorAPI();
    // Builds and wires every component; starts no thread. Clients call
    // getConcreteIVexorAPI, which uses it.
    VexorAPI(IBaseManagementEvents *events, IVoteSessionMutators *mutators);
    // Internal: runs components built elsewhere (they stay their maker's);
    // the library's tests use it. A client cannot build them: their
    // interfaces are not installed.
    VexorAPI(IProtocol *protocol, IConnectBase *connectBase, IDeviceReader *reader,
             IInputReportsParser *parser);
    // Stops the threads, then frees the components that the wiring
    // constructor built. Never from inside a callback: the thread running
    // it would go on in freed components.
    ~VexorAPI();

    VexorAPI(const VexorAPI &) = delete;
    VexorAPI &operator=(const VexorAPI &) = delete;

    // Starts the three threads unless they already run. After stop() it may
    // be called again; after a stop() from inside a callback it first waits
    // for the threads to end (as stop() does). From inside a callback it does
    // nothing.
    void run() override;
    // Asks the threads to end and joins them (connection, reader, parser).
    // It waits for a callback in progress, and once it has returned no
    // callback runs until the next run(). Returns within one read time-out
    // of the reader (1 s) after the callbacks in progress have returned,
    // whatever they do with the library's exceptions: every pause, wait and
    // loop of the library on its threads ends at the request (a pause with
    // boost::thread_interrupted), and ends again after a callback has
    // swallowed that exception. Reports read but not yet handed out stay
    // queued: the next run() delivers them first. Safe to call twice and
    // before run(). From inside a callback it asks the threads to end and
    // returns without waiting for them; the client's next stop() (or the
    // destructor) joins them.
    void stop() override;

    // Internal: the bodies of the three threads that run() starts. Called
    // from anywhere else they run a second loop beside the library's.
    void launchConnect();
    void launchDeviceReader();
    void launchInputReportParser();

    // Where the parser writes its trace line per input report, from the next
    // report on: standard output by default, nullptr switches the trace off.
    // The stream must outlive the threads.
    void setReportTrace(std::ostream *out);

private:
    struct Components;

    // The two [[maybe_unused]] members keep the object's layout that clients
    // were built against; the components hold their own copies.
    [[maybe_unused]] IBaseManagementEvents *baseManagementEvents = nullptr;
    IBaseManagement *baseManagement = nullptr;
    [[maybe_unused]] IVoteSessionMutators *voteSessionMutators = nullptr;
    IDeviceReader *deviceReader = nullptr;
    IRawData *rawData = nullptr;
    IBaseDataEvents *baseDataEvents = nullptr;
    IInputReportsParser *inputReportsParser = nullptr;
    std::shared_ptr<boost::thread> connectThread;
    std::shared_ptr<boost::thread> readerThread;
    std::shared_ptr<boost::thread> parserThread;
    // Read by the worker threads while the client's thread sets it; stays set
    // until run() starts the threads again.
    std::atomic<bool> stopRequested{false};
    ISleeper *connectSleeper = nullptr;

    // Serialises run() and stop() of the client's threads; held while joining.
    std::mutex lifecycleMutex;
    // Protects the three thread members; never held while joining, so that a
    // callback may call stop() while the client's thread joins.
    std::mutex threadsMutex;
    // The stop request of the threads, and what the wiring constructor built
    // (nothing for the other constructors).
    std::unique_ptr<Components> components;
};

#endif // VEXORAPI_VEXORAPI_H
