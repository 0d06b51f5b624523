#ifndef VEXORAPI_DEVICEREADER_H
#define VEXORAPI_DEVICEREADER_H

#include "IDeviceReader.h"

class IBaseDataEvents;
class IBaseManagement;
class IProtocol;
class IRawData;

// The reader thread's pass: waits until the connection loop has opened a
// base, then reads reports with a one-second time-out and queues every report
// whose first two bytes are both non-zero, stamped with the time it was read.
//
// Waiting for the base and the gap between two reads are stop points (an
// interruption of the thread, or its facade's stop request): either ends the
// pass within one read time-out.
class DeviceReader : public IDeviceReader
{
public:
    static constexpr int reportLength = 64;

    DeviceReader(IProtocol *protocol, IBaseDataEvents *dataEvents, IBaseManagement *management,
                 IRawData *rawData);

    void run() override;

    /// How long one read waits for a report (the facade sets it from
    /// LibraryTiming).
    int readTimeoutMs = 1000;

private:
    // Reads until a read fails.
    void readUntilFailure(unsigned char *buffer, int length);
    void queueReport(const unsigned char *buffer);

    IProtocol *protocol = nullptr;
    IBaseDataEvents *dataEvents = nullptr;
    IBaseManagement *management = nullptr;
    IRawData *rawData = nullptr;
};

#endif // VEXORAPI_DEVICEREADER_H
