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

void DeviceReader::run()
{
    // The transport writes up to a full report whatever length it is given,
    // and every element copies a full report: never allocate less.
    const int length = std::max(rawData->prototype->getLength(), reportLength);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(length), 0);

    const unsigned long generation = management->waitForReadyGeneration();
    readUntilFailure(buffer.data(), length);
    // Reported only for the opening this pass read from: if the connection
    // loop has opened the base again meanwhile, its ready flag stays set.
    management->readerLost(generation);
}

void DeviceReader::readUntilFailure(unsigned char *buffer, int length)
{
    for (;;) {
        StopRequest::stopPoint();
        if (!protocol->readReport(buffer, length, readTimeoutMs))
            return;
        // A time-out leaves the buffer zeroed; reports of kind or command 0
        // carry nothing.
        if (buffer[0] != 0 && buffer[1] != 0)
            queueReport(buffer);
        std::fill(buffer, buffer + length, 0);
    }
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
