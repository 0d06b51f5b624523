#ifndef TOOLS_RFSIM_SERIALDEVICE_H
#define TOOLS_RFSIM_SERIALDEVICE_H

#include "ReceiverPort.h"

namespace rfsim {

// The receiver on a real serial device (for example one end of a null-modem
// cable). Unplugging closes the device; its path stays.
class SerialDevice : public ReceiverPort
{
public:
    explicit SerialDevice(std::string path);
    ~SerialDevice() override;

    SerialDevice(const SerialDevice &) = delete;
    SerialDevice &operator=(const SerialDevice &) = delete;

    bool plug(std::string &error) override;
    void unplug() override;

    int fd() const override { return fd_; }
    std::string path() const override { return path_; }
    std::size_t unreadByHost() const override;

private:
    std::string path_;
    int fd_ = -1;
};

} // namespace rfsim

#endif // TOOLS_RFSIM_SERIALDEVICE_H
