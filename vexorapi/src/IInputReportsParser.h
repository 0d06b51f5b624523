#ifndef VEXORAPI_IINPUTREPORTSPARSER_H
#define VEXORAPI_IINPUTREPORTSPARSER_H

#include <iosfwd>

// Turns the queued raw input reports into the client's vote callbacks.
class IInputReportsParser
{
public:
    IInputReportsParser() = default;
    virtual ~IInputReportsParser() = default;

    IInputReportsParser(const IInputReportsParser &) = delete;
    IInputReportsParser &operator=(const IInputReportsParser &) = delete;

    // Handles every report queued so far, on the caller's thread.
    virtual void parsePending() = 0;
    // The parser thread's body: handles reports as they arrive until the
    // thread is interrupted or its facade asks it to stop
    // (boost::thread_interrupted leaves it).
    virtual void run() = 0;
    // Where the trace line of each report goes; nullptr switches it off.
    virtual void setTrace(std::ostream *out) = 0;
};

#endif // VEXORAPI_IINPUTREPORTSPARSER_H
