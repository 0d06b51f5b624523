#ifndef TOOLS_RFSIM_RECEIVERPORT_H
#define TOOLS_RFSIM_RECEIVERPORT_H

#include <cstddef>
#include <string>

namespace rfsim {

// The simulator's end of the serial line to the host. The host opens path();
// the simulator reads and writes fd(), which is non-blocking.
class ReceiverPort
{
public:
    virtual ~ReceiverPort() = default;

    // Attaches the receiver: afterwards path() exists and fd() is valid.
    virtual bool plug(std::string &error) = 0;
    // Detaches it; the host sees the line go away.
    virtual void unplug() = 0;

    bool plugged() const { return fd() >= 0; }
    virtual int fd() const = 0;
    virtual std::string path() const = 0;
    // The device node itself (differs from path() behind a stable link).
    virtual std::string devicePath() const { return path(); }
    // Bytes written but not yet read by the host (0 when unplugged).
    virtual std::size_t unreadByHost() const = 0;

protected:
    // Raw bytes at 19200 baud, 8 data bits, no parity, 1 stop bit, no flow
    // control, no echo and no line editing.
    static bool configureLine(int fd, std::string &error);
};

} // namespace rfsim

#endif // TOOLS_RFSIM_RECEIVERPORT_H
