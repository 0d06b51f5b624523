#include <VexorAPI/VexorAPI.h>

#include "BaseDataEvents.h"
#include "BaseManagement.h"
#include "DeviceIDHID.h"
#include "DeviceReader.h"
#include "HIDHIDAPI.h"
#include "IRawData.h"
#include "InputReportsParser.h"
#include "ProtocolVexor.h"
#include "RawDataElement.h"
#include "SleeperBoost.h"
#include "SpecificationCollectionVexorB42MRev7.h"

#include <VexorAPI/ConnectBase.h>

#include <boost/thread/thread.hpp>

#include <array>
#include <functional>

namespace {

constexpr int baseVendorId = 0x1881;
constexpr int baseProductId = 0x0150;

std::shared_ptr<boost::thread> startThread(VexorAPI *api, void (VexorAPI::*body)())
{
    return std::make_shared<boost::thread>(std::bind(body, api));
}

void interruptAndJoin(const std::shared_ptr<boost::thread> &thread)
{
    if (!thread)
        return;
    thread->interrupt();
    thread->join();
}

} // namespace

// Everything the wiring constructor builds, in the order it builds it.
// Members are destroyed in reverse order, after the threads have been joined.
struct VexorAPI::Components
{
    Components(IBaseManagementEvents *events, IVoteSessionMutators *mutators)
        : baseManagement(events), deviceId(baseVendorId, baseProductId, 0), hid(&deviceId),
          specifications(&hid), protocol(&protocolSleeper, &specifications),
          prototype(zeroReport.data(), static_cast<int>(zeroReport.size())), rawData(&prototype),
          connectBase(&connectSleeper, &protocol, &baseManagement),
          deviceReader(&protocol, &dataEvents, &baseManagement, &rawData),
          parser(&rawData, mutators, &dataEvents)
    {
    }

    BaseManagement baseManagement;
    DeviceIDHID deviceId;
    HIDHIDAPI hid;
    SpecificationCollectionVexorB42MRev7 specifications;
    SleeperBoost protocolSleeper;
    ProtocolVexor protocol;
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
    protocol = &components->protocol;
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
    std::lock_guard<std::mutex> guard(lifecycleMutex);
    if (connectThread || readerThread || parserThread)
        return; // already running
    stopRequested = false;
    connectThread = startThread(this, &VexorAPI::launchConnect);
    readerThread = startThread(this, &VexorAPI::launchDeviceReader);
    parserThread = startThread(this, &VexorAPI::launchInputReportParser);
}

void VexorAPI::stop()
{
    stopRequested = true;
    std::lock_guard<std::mutex> guard(lifecycleMutex);
    joinThreads();
}

void VexorAPI::joinThreads()
{
    // Interruption ends every blocking wait of the threads: the connection
    // loop's pauses, the reader's wait for a base and the parser's wait for
    // data. A read in progress ends within its time-out.
    interruptAndJoin(connectThread);
    interruptAndJoin(readerThread);
    interruptAndJoin(parserThread);
    connectThread.reset();
    readerThread.reset();
    parserThread.reset();
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
