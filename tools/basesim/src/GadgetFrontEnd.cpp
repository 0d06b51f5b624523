#include "GadgetFrontEnd.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace basesim {

namespace {

// The report number in front of the output reports the model takes: the
// base's reports are unnumbered, which hidapi writes as number 0.
constexpr unsigned char unnumbered = 0x00;

long long microsecondsSinceEpoch()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

GadgetFrontEnd::GadgetFrontEnd(BaseModel &base, std::string node, UdcBinding binding,
                               std::ostream *log)
    : base_(base), node_(std::move(node)), binding_(std::move(binding)), log_(log),
      wakeup_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), modelAttachment(base.attachment()),
      modelPlugged(base.isPlugged())
{
    base_.addListener(this);
}

GadgetFrontEnd::~GadgetFrontEnd()
{
    detach();
    if (wakeup_ >= 0)
        ::close(wakeup_);
}

bool GadgetFrontEnd::run()
{
    if (wakeup_ < 0) {
        std::cerr << "basesim-gadget: no eventfd: " << std::strerror(errno) << "\n";
        return false;
    }
    while (!stopRequested_) {
        if (!followAttachment())
            return false;
        pollfd fds[2] = {{wakeup_, POLLIN, 0}, {device_, POLLIN, 0}};
        if (hasPendingInput())
            fds[1].events |= POLLOUT;
        if (::poll(fds, device_ >= 0 ? 2 : 1, -1) < 0 && errno != EINTR) {
            std::cerr << "basesim-gadget: poll: " << std::strerror(errno) << "\n";
            return false;
        }
        std::uint64_t count = 0;
        if (fds[0].revents & POLLIN) [[maybe_unused]]
            const ssize_t ignored = ::read(wakeup_, &count, sizeof count);
        if (device_ >= 0 && (fds[1].revents & POLLIN))
            readOutputReport();
        if (device_ >= 0 && (fds[1].revents & POLLOUT))
            writeInputReport();
    }
    detach();
    return true;
}

void GadgetFrontEnd::stop()
{
    stopRequested_ = true;
    wake();
}

void GadgetFrontEnd::inputReport(const Report &report)
{
    {
        std::lock_guard<std::mutex> guard(mutex);
        pendingInput.push_back(report);
    }
    wake();
}

void GadgetFrontEnd::attachmentChanged(unsigned long attachment, bool plugged)
{
    {
        std::lock_guard<std::mutex> guard(mutex);
        // What the base had not yet handed over is gone with the attachment.
        pendingInput.clear();
        modelAttachment = attachment;
        modelPlugged = plugged;
    }
    wake();
}

// Brings the gadget to the model's latest attachment: an unplug and a plug-in
// that happened in quick succession still unbind and bind it again.
bool GadgetFrontEnd::followAttachment()
{
    unsigned long wanted = 0;
    bool plugged = false;
    {
        std::lock_guard<std::mutex> guard(mutex);
        wanted = modelAttachment;
        plugged = modelPlugged;
    }
    if (wanted == attachment_)
        return true;
    detach();
    attachment_ = wanted;
    return !plugged || attach();
}

bool GadgetFrontEnd::attach()
{
    std::string error;
    if (!binding_.plug(error)) {
        std::cerr << "basesim-gadget: " << error << "\n";
        return false;
    }
    device_ = ::open(node_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (device_ < 0) {
        std::cerr << "basesim-gadget: cannot open " << node_ << ": " << std::strerror(errno)
                  << "\n";
        return false;
    }
    return true;
}

void GadgetFrontEnd::detach()
{
    if (device_ < 0)
        return;
    ::close(device_);
    device_ = -1;
    std::string error;
    if (!binding_.unplug(error))
        std::cerr << "basesim-gadget: " << error << "\n";
}

bool GadgetFrontEnd::hasPendingInput()
{
    std::lock_guard<std::mutex> guard(mutex);
    return !pendingInput.empty();
}

void GadgetFrontEnd::readOutputReport()
{
    unsigned char report[1 + reportSize] = {unnumbered};
    const ssize_t length = ::read(device_, report + 1, reportSize);
    if (length <= 0)
        return;
    logReport("output", report + 1, std::size_t(length));
    base_.receiveOutputReport(attachment_, report, std::size_t(length) + 1);
}

void GadgetFrontEnd::writeInputReport()
{
    std::lock_guard<std::mutex> guard(mutex);
    if (pendingInput.empty())
        return;
    const Report &report = pendingInput.front();
    const ssize_t written = ::write(device_, report.data(), report.size());
    if (written < 0 && errno == EAGAIN)
        return;
    if (written != ssize_t(report.size()))
        std::cerr << "basesim-gadget: an input report was lost: " << std::strerror(errno) << "\n";
    else
        logReport("input", report.data(), report.size());
    pendingInput.pop_front();
}

void GadgetFrontEnd::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wakeup_, &one, sizeof one);
}

void GadgetFrontEnd::logReport(const char *event, const unsigned char *bytes, std::size_t length)
{
    if (log_ == nullptr)
        return;
    std::string hex;
    char digits[3];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
        hex += digits;
    }
    *log_ << "{\"t\":" << microsecondsSinceEpoch() << ",\"event\":\"" << event << "\",\"bytes\":\""
          << hex << "\"}" << std::endl;
}

} // namespace basesim
