#ifndef TOOLS_BASESIM_GADGETFRONTEND_H
#define TOOLS_BASESIM_GADGETFRONTEND_H

#include "BaseModel.h"

#include <UdcBinding.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <ostream>
#include <string>

namespace basesim {

/// The simulated base behind a real USB HID gadget: the device side of a HID
/// function configured through configfs (its node, e.g. /dev/hidg0), which
/// the host's own HID drivers take as a device with a hidraw node.
///
/// Output reports the host writes arrive on the node without their report
/// number (the base's reports are unnumbered) and go to the model with the
/// number 0 in front, as hidapi's writes carry it. The model's input reports
/// go out on the node in the order it sends them. Its plug-ins and unplugs
/// bind the gadget to its USB device controller and unbind it: the host sees
/// the device come and go. Input reports still waiting when the base is
/// unplugged are lost, as in a device that loses power.
///
/// One thread (run()) does all the I/O; the model's notifications only queue
/// work for it and wake it.
class GadgetFrontEnd : public BaseModel::Listener
{
public:
    /// log (may be null) gets one JSON line per report: {"t":<microseconds
    /// since the epoch>,"event":"output"|"input","bytes":"<hex>"}: an output
    /// report when it was read from the node, an input report when the
    /// gadget took it for the host.
    GadgetFrontEnd(BaseModel &base, std::string node, UdcBinding binding, std::ostream *log);
    ~GadgetFrontEnd() override;

    GadgetFrontEnd(const GadgetFrontEnd &) = delete;
    GadgetFrontEnd &operator=(const GadgetFrontEnd &) = delete;

    /// Plugs the gadget in if the model is plugged, then serves until stop().
    /// False with a message on standard error when the node or the
    /// controller fails.
    bool run();
    /// Async-signal-safe.
    void stop();

    void inputReport(const Report &report) override;
    void attachmentChanged(unsigned long attachment, bool plugged) override;

private:
    bool attach();
    void detach();
    bool followAttachment();
    bool hasPendingInput();
    void readOutputReport();
    void writeInputReport();
    void wake();
    void logReport(const char *event, const unsigned char *bytes, std::size_t length);

    BaseModel &base_;
    const std::string node_;
    const UdcBinding binding_;
    std::ostream *const log_;
    int device_ = -1;
    int wakeup_ = -1;              // eventfd: work queued or stop requested
    unsigned long attachment_ = 0; // the attachment the gadget stands for
    std::atomic<bool> stopRequested_{false};

    std::mutex mutex;                // protects the members below
    std::deque<Report> pendingInput; // input reports not yet taken by the gadget
    unsigned long modelAttachment;   // the model's latest attachment
    bool modelPlugged;               // and whether the base is plugged on it
};

} // namespace basesim

#endif // TOOLS_BASESIM_GADGETFRONTEND_H
