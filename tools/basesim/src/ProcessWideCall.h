#ifndef TOOLS_BASESIM_PROCESSWIDECALL_H
#define TOOLS_BASESIM_PROCESSWIDECALL_H

#include <atomic>

namespace basesim {

/// Marks a call of one of hidapi's process-wide functions for as long as it
/// lasts. hidapi's hidraw backend keeps its error text (and the Windows
/// backend its initialisation) in globals that hid_init, hid_exit,
/// hid_enumerate, hid_open, hid_open_path and hid_error(NULL) use without a
/// lock, so no two threads may be inside them at once. A second thread that
/// enters while another is inside ends the program with a message naming
/// both functions: no test can pass over it.
///
/// The check synchronises nothing (relaxed atomics only), so a race detector
/// still sees every race of the calling program around these calls.
class ProcessWideCall
{
public:
    explicit ProcessWideCall(const char *function);
    ~ProcessWideCall();

    ProcessWideCall(const ProcessWideCall &) = delete;
    ProcessWideCall &operator=(const ProcessWideCall &) = delete;

private:
    const char *const function;
    static std::atomic<const char *> inside; // the function a thread is inside, or null
};

} // namespace basesim

#endif // TOOLS_BASESIM_PROCESSWIDECALL_H
