#ifndef TOOLS_BASESIM_SOLECALL_H
#define TOOLS_BASESIM_SOLECALL_H

#include <atomic>

namespace basesim {

/// Marks a call of a hidapi function for as long as it lasts, in a scope that
/// no two threads may be inside at once: hidapi keeps state there without a
/// lock. A second thread that enters while another is inside ends the
/// program with a message naming both functions: no test can pass over it.
///
/// The check synchronises nothing (relaxed atomics only), so a race detector
/// still sees every race of the calling program around these calls.
class SoleCall
{
public:
    /// inside holds the function a thread is inside, or null; where names
    /// the scope in the message (" on the same handle"), rule says what must
    /// not run on two threads at once.
    SoleCall(std::atomic<const char *> &inside, const char *function, const char *where,
             const char *rule);
    ~SoleCall();

    SoleCall(const SoleCall &) = delete;
    SoleCall &operator=(const SoleCall &) = delete;

private:
    std::atomic<const char *> &inside;
};

/// A call of one of hidapi's process-wide functions. hidapi's hidraw backend
/// keeps its error text (and the Windows backend its initialisation) in
/// globals that hid_init, hid_exit, hid_enumerate, hid_open, hid_open_path
/// and hid_error(NULL) use without a lock.
class ProcessWideCall
{
public:
    explicit ProcessWideCall(const char *function);

private:
    static std::atomic<const char *> inside; // the function a thread is inside, or null
    SoleCall call;
};

} // namespace basesim

#endif // TOOLS_BASESIM_SOLECALL_H
