#ifndef VEXORAPI_IOPENINGGATE_H
#define VEXORAPI_IOPENINGGATE_H

#include <functional>

/// Lets the steps of an opening reach the base (opening the device, writing
/// a report) only while the client has not closed it.
class IOpeningGate
{
public:
    virtual ~IOpeningGate() = default;

    /// Runs open, the step that opens the device afresh, like pass(); first
    /// ends the current opening and waits until the reader has left its
    /// handle. From then on the old handle is not read while the new one
    /// receives the same reports, so no report is read twice; one that
    /// arrives after the reader's last read of the old handle and before the
    /// new one is open is lost (a gap).
    ///
    /// A client's opening of a base that is open and being read keeps its
    /// handles instead: answers true without running open, and the reader
    /// reads on, so that no report is lost or read twice.
    virtual bool openDevice(const std::function<bool()> &open) = 0;

    /// Runs step and answers its result, unless the client has closed the
    /// base: then answers false without running it. A close that the client
    /// asks for waits for a step in progress, so that nothing reaches the
    /// base after the close has returned.
    virtual bool pass(const std::function<bool()> &step) = 0;
};

#endif // VEXORAPI_IOPENINGGATE_H
