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

#include <VexorAPI/ConnectBase.h>

#include <boost/thread/thread.hpp>

#include <array>

namespace {

constexpr int baseVendorId = 0x1881;
constexpr int baseProductId = 0x0150;

// The facade whose worker thread this is; null on every other thread.
thread_local const VexorAPI *facadeOfThisThread = nullptr;

std::shared_ptr<boost::thread> startThread(VexorAPI *api, void (VexorAPI::*body)())
{
    return std::make_shared<boost::thread>([api, body] {
        facadeOfThisThread = api;
        (api->*body)();
    });
}

using ThreadPointer = std::shared_ptr<boost::thread>;

// Interruption ends every blocking wait of the threads: the connection loop's
// pauses, the reader's wait for a base and the parser's wait for data. A read
// in progress ends within its time-out.
void interruptAll(std::mutex &threadsMutex, const ThreadPointer &connect,
                  const ThreadPointer &reader, const ThreadPointer &parser)
{
    std::lock_guard<std::mutex> guard(threadsMutex);
    for (const ThreadPointer *thread : {&connect, &reader, &parser})
        if (*thread)
            (*thread)->interrupt();
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

} // namespace

// Everything the wiring constructor builds, in the order it builds it.
// Members are destroyed in reverse order, after the threads have been joined.
struct VexorAPI::Components
{
    Components(IBaseManagementEvents *events, IVoteSessionMutators *mutators)
        : baseManagement(events), deviceId(baseVendorId, baseProductId, 0), hid(&deviceId),
          specifications(&hid), protocol(&protocolSleeper, &specifications),
          clientProtocol(&protocol, &baseManagement),
          prototype(zeroReport.data(), static_cast<int>(zeroReport.size())), rawData(&prototype),
          connectBase(&connectSleeper, &protocol, &baseManagement),
          deviceReader(&protocol, &dataEvents, &baseManagement, &rawData),
          parser(&rawData, mutators, &dataEvents)
    {
        const LibraryTiming timing = LibraryTiming::forNewFacades();
        timing.applyTo(protocolSleeper);
        timing.applyTo(connectSleeper);
        deviceReader.readTimeoutMs = timing.readTimeoutMs;
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

VexorAPI::VexorAPI() = default;

VexorAPI::VexorAPI(IBaseManagementEvents *events, IVoteSessionMutators *mutators)
    : IVexorAPI(events, mutators), baseManagementEvents(events), voteSessionMutators(mutators),
      components(std::make_unique<Components>(events, mutators))
{
    protocol = &components->clientProtocol;
    connectBase = &components->connectBase;
    baseManagement = &components->baseManagement;
    deviceReader = &components->deviceReader;
    rawData = &components->rawData;
    baseDataEvents = &components->dataEvents;
    inputReportsParser = &components->parser;
    connectSleeper = &components->connectSleeper;
}

VexorAPI::VexorAPI(IProtocol *protocol_, IConnectBase *connectBase_, IDeviceReader *reader,
                   IInputReportsParser *parser)
    : IVexorAPI(protocol_, connectBase_, reader, parser), deviceReader(reader),
      inputReportsParser(parser)
{
}

VexorAPI::~VexorAPI()
{
    stop();
    // The components go with `components` now that no thread uses them.
}

void VexorAPI::run()
{
    if (facadeOfThisThread == this)
        return; // called from a callback: the threads run already
    std::lock_guard<std::mutex> lifecycle(lifecycleMutex);
    std::lock_guard<std::mutex> guard(threadsMutex);
    if (connectThread || readerThread || parserThread)
        return; // already running, or stopped from a callback and not joined yet
    stopRequested = false;
    connectThread = startThread(this, &VexorAPI::launchConnect);
    readerThread = startThread(this, &VexorAPI::launchDeviceReader);
    parserThread = startThread(this, &VexorAPI::launchInputReportParser);
}

void VexorAPI::stop()
{
    if (facadeOfThisThread == this) {
        // From a callback: a thread cannot join itself, and the client's
        // thread may be joining this one. The threads end at their next
        // interruption point; the client's next stop() joins them.
        stopRequested = true;
        interruptAll(threadsMutex, connectThread, readerThread, parserThread);
        return;
    }
    std::lock_guard<std::mutex> lifecycle(lifecycleMutex);
    stopRequested = true;
    interruptAll(threadsMutex, connectThread, readerThread, parserThread);
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
