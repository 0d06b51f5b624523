#include <VexorAPI/VexorAPI.h>

#include "BaseDataEvents.h"
#include "BaseManagement.h"
#include "ClientProtocol.h"
#include "DeviceIDHID.h"
#include "DeviceReader.h"
#include "HIDHIDAPI.h"
#include "IRawData.h"
#include "InputReportsParser.h"
#include "LibraryTiming.h"
#include "ProtocolVexor.h"
#include "RawDataElement.h"
#include "SleeperBoost.h"
#include "SpecificationCollectionVexorB42MRev7.h"
#include "StopRequest.h"

#include <VexorAPI/ConnectBase.h>

#include <boost/thread/thread.hpp>

#include <array>

namespace {

constexpr int baseVendorId = 0x1881;
constexpr int baseProductId = 0x0150;

using ThreadPointer = std::shared_ptr<boost::thread>;

// A worker thread of api, bound to its stop request.
ThreadPointer startThread(VexorAPI *api, void (VexorAPI::*body)(), StopRequest *stop)
{
    return std::make_shared<boost::thread>([api, body, stop] {
        StopRequest::bindThisThread(stop);
        (api->*body)();
    });
}

// Tells the base state that the threads stop, which fails a client's waiting
// opening request, and wakes the waits on the base state and on new data, so
// that the threads see the stop request.
void wakeWaits(IBaseManagement *management, IBaseDataEvents *dataEvents)
{
    if (management)
        management->setThreadsRunning(false);
    if (dataEvents) {
        boost::lock_guard<boost::mutex> guard(dataEvents->mutex);
        dataEvents->condition.notify_all();
    }
}

// Interruption also ends the blocking waits of components that a client
// injected and that know nothing of the stop request.
void interruptAll(std::mutex &threadsMutex, const ThreadPointer &connect,
                  const ThreadPointer &reader, const ThreadPointer &parser)
{
    std::lock_guard<std::mutex> guard(threadsMutex);
    for (const ThreadPointer *thread : {&connect, &reader, &parser})
        if (*thread)
            (*thread)->interrupt();
}

bool anyThread(std::mutex &threadsMutex, const ThreadPointer &connect, const ThreadPointer &reader,
               const ThreadPointer &parser)
{
    std::lock_guard<std::mutex> guard(threadsMutex);
    return connect || reader || parser;
}

// Joins the threads in this order, without holding threadsMutex (a callback
// on one of them may call stop()), then releases them.
void joinAll(std::mutex &threadsMutex, ThreadPointer &connect, ThreadPointer &reader,
             ThreadPointer &parser)
{
    std::array<ThreadPointer, 3> threads;
    {
        std::lock_guard<std::mutex> guard(threadsMutex);
        threads = {connect, reader, parser};
    }
    for (const ThreadPointer &thread : threads)
        if (thread)
            thread->join();
    std::lock_guard<std::mutex> guard(threadsMutex);
    connect.reset();
    reader.reset();
    parser.reset();
}

// Everything the wiring constructor builds, in the order it builds it.
// Members are destroyed in reverse order, after the threads have been joined.
struct Wiring
{
    Wiring(IBaseManagementEvents *events, IVoteSessionMutators *mutators, const StopRequest *stop)
        : baseManagement(events), deviceId(baseVendorId, baseProductId, 0), hid(&deviceId),
          specifications(&hid), protocol(&protocolSleeper, &specifications),
          clientProtocol(&protocol, &baseManagement, stop),
          prototype(zeroReport.data(), static_cast<int>(zeroReport.size())), rawData(&prototype),
          connectBase(&connectSleeper, &protocol, &baseManagement),
          deviceReader(&protocol, &dataEvents, &baseManagement, &rawData),
          parser(&rawData, mutators, &dataEvents)
    {
        const LibraryTiming timing = LibraryTiming::forNewFacades();
        timing.applyTo(protocolSleeper);
        timing.applyTo(connectSleeper);
        deviceReader.readTimeoutMs = timing.readTimeoutMs;
        protocol.setOpeningGate(&baseManagement);
    }

    BaseManagement baseManagement;
    DeviceIDHID deviceId;
    HIDHIDAPI hid;
    SpecificationCollectionVexorB42MRev7 specifications;
    SleeperBoost protocolSleeper;
    ProtocolVexor protocol;
    ClientProtocol clientProtocol;
    std::array<unsigned char, InputReportsParser::reportLength> zeroReport{};
    RawDataElement prototype;
    IRawData rawData;
    SleeperBoost connectSleeper;
    ConnectBase connectBase;
    BaseDataEvents dataEvents;
    DeviceReader deviceReader;
    InputReportsParser parser;
};

} // namespace

// What the facade keeps beside its public members: the stop request of its
// threads, and what the wiring constructor built (nothing for the other
// constructors). Destroyed after the threads have been joined.
struct VexorAPI::Components
{
    explicit Components(std::atomic<bool> &stopFlag) : stop(stopFlag) {}

    // True on the facade's own worker threads, that is inside a callback.
    bool onWorkerThread() { return StopRequest::ofThisThread() == &stop; }

    StopRequest stop;
    std::unique_ptr<Wiring> wiring;
};

VexorAPI::VexorAPI() : components(std::make_unique<Components>(stopRequested)) {}

VexorAPI::VexorAPI(IBaseManagementEvents *events, IVoteSessionMutators *mutators)
    : IVexorAPI(events, mutators), baseManagementEvents(events), voteSessionMutators(mutators),
      components(std::make_unique<Components>(stopRequested))
{
    components->wiring = std::make_unique<Wiring>(events, mutators, &components->stop);
    Wiring &wiring = *components->wiring;
    protocol = &wiring.clientProtocol;
    connectBase = &wiring.connectBase;
    baseManagement = &wiring.baseManagement;
    deviceReader = &wiring.deviceReader;
    rawData = &wiring.rawData;
    baseDataEvents = &wiring.dataEvents;
    inputReportsParser = &wiring.parser;
    connectSleeper = &wiring.connectSleeper;
}

VexorAPI::VexorAPI(IProtocol *protocol_, IConnectBase *connectBase_, IDeviceReader *reader,
                   IInputReportsParser *parser)
    : IVexorAPI(protocol_, connectBase_, reader, parser), deviceReader(reader),
      inputReportsParser(parser), components(std::make_unique<Components>(stopRequested))
{
}

VexorAPI::~VexorAPI()
{
    stop();
    // The components go with `components` now that no thread uses them.
}

void VexorAPI::run()
{
    if (components->onWorkerThread())
        return; // called from a callback: the threads run already
    std::lock_guard<std::mutex> lifecycle(lifecycleMutex);
    if (anyThread(threadsMutex, connectThread, readerThread, parserThread)) {
        if (!components->stop.isRequested())
            return; // running
        // Stopped from a callback: the threads are ending.
        joinAll(threadsMutex, connectThread, readerThread, parserThread);
    }
    components->stop.clear();
    if (baseManagement)
        baseManagement->setThreadsRunning(true);
    StopRequest *const stop = &components->stop;
    std::lock_guard<std::mutex> guard(threadsMutex);
    connectThread = startThread(this, &VexorAPI::launchConnect, stop);
    readerThread = startThread(this, &VexorAPI::launchDeviceReader, stop);
    parserThread = startThread(this, &VexorAPI::launchInputReportParser, stop);
}

void VexorAPI::stop()
{
    components->stop.request();
    wakeWaits(baseManagement, baseDataEvents);
    interruptAll(threadsMutex, connectThread, readerThread, parserThread);
    // From a callback: a thread cannot join itself, and the client's thread
    // may be joining this one. The threads end at their next stop point; the
    // client's next stop() joins them.
    if (components->onWorkerThread())
        return;
    std::lock_guard<std::mutex> lifecycle(lifecycleMutex);
    joinAll(threadsMutex, connectThread, readerThread, parserThread);
}

void VexorAPI::launchConnect()
{
    connectBase->connectLoop();
}

void VexorAPI::launchDeviceReader()
{
    while (!stopRequested)
        deviceReader->run();
}

void VexorAPI::launchInputReportParser()
{
    inputReportsParser->run();
}

void VexorAPI::setReportTrace(std::ostream *out)
{
    if (inputReportsParser)
        inputReportsParser->setTrace(out);
}

IVexorAPI *getConcreteIVexorAPI(IBaseManagementEvents *events, IVoteSessionMutators *mutators)
{
    return new VexorAPI(events, mutators);
}
