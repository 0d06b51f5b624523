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
// A pass reads from one opening only, until a read fails or a new opening
// is about to open the device (or the client closes the base). It then takes
// the reports still waiting in the handle, without waiting, and leaves it;
// a new opening opens the device only after that, so the new handle receives
// only what the base sends afterwards and no report is read twice. A client's
// opening of a ready base keeps the handles and their generation: the pass
// reads on throughout it.
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
    enum class Read { failed, nothing, report };

    // Reads from the opening of generation until a read fails (true) or the
    // opening has ended (false), then takes what is still waiting.
    bool readPass(unsigned char *buffer, int length, unsigned long generation);
    // One read, whose report is queued.
    Read readOnce(unsigned char *buffer, int length, int timeoutMs);
    void queueReport(const unsigned char *buffer);

    IProtocol *protocol = nullptr;
    IBaseDataEvents *dataEvents = nullptr;
    IBaseManagement *management = nullptr;
    IRawData *rawData = nullptr;
};

#endif // VEXORAPI_DEVICEREADER_H
