#include "SimulatedHandle.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

const wchar_t *const injectedReadError = L"read failed";

[[noreturn]] void misuse(const char *function, const char *what)
{
    std::fprintf(stderr, "basesim: %s %s\n", function, what);
    std::abort();
}

} // namespace

hid_device_::hid_device_(unsigned long attachment_) : attachment(attachment_) {}

std::atomic<const char *> &hid_device_::callSlot(hid_device_ *device, const char *function)
{
    if (device == nullptr)
        misuse(function, "on a null handle");
    return device->callInside;
}

void hid_device_::checkOpen(const char *function)
{
    Lock lock(mutex);
    if (!open)
        misuse(function, "on a handle that hid_close has closed");
}

void hid_device_::release()
{
    Lock lock(mutex);
    open = false;
    alive = false;
    queue.clear();
}

void hid_device_::end()
{
    Lock lock(mutex);
    alive = false;
    queue.clear();
    changed.notify_all();
}

void hid_device_::deliver(const basesim::Report &report)
{
    Lock lock(mutex);
    if (!alive)
        return;
    if (queue.size() >= basesim::handleQueueCapacity) {
        ++dropped;
        return;
    }
    queue.push_back(report);
    ++received;
    changed.notify_all();
}

void hid_device_::wake()
{
    Lock lock(mutex);
    changed.notify_all();
}

int hid_device_::read(unsigned char *data, std::size_t length, int milliseconds,
                      std::atomic<bool> &failurePending)
{
    Lock lock(mutex);
    const auto ready = [&] { return !queue.empty() || !alive || failurePending; };
    if (milliseconds < 0)
        changed.wait(lock, ready);
    else
        changed.wait_for(lock, basesim::Milliseconds(milliseconds), ready);
    if (!alive) {
        lastError = disconnected;
        return -1;
    }
    if (failurePending.exchange(false)) {
        lastError = injectedReadError;
        return -1;
    }
    lastError = nullptr;
    if (queue.empty())
        return 0;
    const basesim::Report report = std::move(queue.front());
    queue.pop_front();
    ++taken;
    const std::size_t delivered = std::min(length, report.size());
    std::copy_n(report.begin(), delivered, data);
    return static_cast<int>(delivered);
}

bool hid_device_::isAlive()
{
    Lock lock(mutex);
    return alive;
}

bool hid_device_::isOpen()
{
    Lock lock(mutex);
    return open;
}

void hid_device_::setError(const wchar_t *text)
{
    Lock lock(mutex);
    lastError = text;
}

const wchar_t *hid_device_::error()
{
    Lock lock(mutex);
    return lastError;
}

void hid_device_::setNonBlocking(bool nonBlocking_)
{
    Lock lock(mutex);
    nonBlocking = nonBlocking_;
}

bool hid_device_::isNonBlocking()
{
    Lock lock(mutex);
    return nonBlocking;
}

basesim::HandleRecord hid_device_::record()
{
    Lock lock(mutex);
    return {open, alive, received, taken, queue.size(), dropped};
}
