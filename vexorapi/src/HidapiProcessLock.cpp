#include "HidapiProcessLock.h"

namespace {

// Protects hidapi's process-wide state (its global error text, its
// initialisation). Constant-initialised, with nothing to tear down at exit,
// so it is usable from the first call to the last.
std::mutex hidapiProcessMutex;

} // namespace

HidapiProcessLock::HidapiProcessLock() : guard(hidapiProcessMutex) {}
