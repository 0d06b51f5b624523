#include "DeviceReader.h"

#include "IBaseDataEvents.h"
#include "IBaseManagement.h"
#include "IRawData.h"
#include "RawDataElement.h"
#include "StopRequest.h"

#include <VexorAPI/IProtocol.h>

#include <algorithm>
#include <memory>
#include <vector>

DeviceReader::DeviceReader(IProtocol *protocol_, IBaseDataEvents *dataEvents_,
                           IBaseManagement *management_, IRawData *rawData_)
    : protocol(protocol_), dataEvents(dataEvents_), management(management_), rawData(rawData_)
{
}

namespace {

// Tells the base management that the reader has left the handle of
// generation, however the pass ends.
class LeavingHandle
{
public:
    LeavingHandle(IBaseManagement &management_, unsigned long generation_)
        : management(management_), generation(generation_)
    {
    }
    ~LeavingHandle() { management.readerLeft(generation); }

    LeavingHandle(const LeavingHandle &) = delete;
    LeavingHandle &operator=(const LeavingHandle &) = delete;

private:
    IBaseManagement &management;
    const unsigned long generation;
};

} // namespace

void DeviceReader::run()
{
    // The transport writes up to a full report whatever length it is given,
    // and every element copies a full report: never allocate less.
    const int length = std::max(rawData->prototype->getLength(), reportLength);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(length), 0);

    const unsigned long generation = management->waitForReadyGeneration();
    // Reported only for the opening this pass read from: if the connection
    // loop has opened the base again meanwhile, its ready flag stays set.
    if (readPass(buffer.data(), length, generation))
        management->readerLost(generation);
}

bool DeviceReader::readPass(unsigned char *buffer, int length, unsigned long generation)
{
    const LeavingHandle leaving(*management, generation);
    while (management->isCurrentGeneration(generation)) {
        StopRequest::stopPoint();
        if (readOnce(buffer, length, readTimeoutMs) == Read::failed)
            return true;
    }
    // What reached this handle before the new opening, the new one lacks.
    do
        StopRequest::stopPoint();
    while (readOnce(buffer, length, 0) == Read::report);
    return false;
}

DeviceReader::Read DeviceReader::readOnce(unsigned char *buffer, int length, int timeoutMs)
{
    if (!protocol->readReport(buffer, length, timeoutMs))
        return Read::failed;
    // A time-out leaves the buffer zeroed; reports of kind or command 0
    // carry nothing.
    const bool report = buffer[0] != 0 && buffer[1] != 0;
    if (report)
        queueReport(buffer);
    std::fill(buffer, buffer + length, 0);
    return report ? Read::report : Read::nothing;
}

void DeviceReader::queueReport(const unsigned char *buffer)
{
    std::unique_ptr<IRawDataElement> element(rawData->prototype->create(buffer, reportLength));
    {
        boost::lock_guard<boost::mutex> guard(dataEvents->mutex);
        // The queue takes ownership, also if it fails to grow.
        rawData->elements.push_back(element.release());
    }
    dataEvents->notifyNewData();
}
