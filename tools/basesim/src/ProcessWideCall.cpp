#include "ProcessWideCall.h"

#include <cstdio>
#include <cstdlib>

namespace basesim {

std::atomic<const char *> ProcessWideCall::inside{nullptr};

ProcessWideCall::ProcessWideCall(const char *function_) : function(function_)
{
    const char *other = nullptr;
    if (inside.compare_exchange_strong(other, function, std::memory_order_relaxed))
        return;
    std::fprintf(stderr,
                 "basesim: %s entered while another thread is inside %s; hidapi's "
                 "process-wide functions must not run on two threads at once\n",
                 function, other);
    std::abort();
}

ProcessWideCall::~ProcessWideCall()
{
    inside.store(nullptr, std::memory_order_relaxed);
}

} // namespace basesim
