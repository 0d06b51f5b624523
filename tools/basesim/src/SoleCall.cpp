#include "SoleCall.h"

#include <cstdio>
#include <cstdlib>

namespace basesim {

SoleCall::SoleCall(std::atomic<const char *> &inside_, const char *function, const char *where,
                   const char *rule)
    : inside(inside_)
{
    const char *other = nullptr;
    if (inside.compare_exchange_strong(other, function, std::memory_order_relaxed))
        return;
    std::fprintf(stderr,
                 "basesim: %s entered while another thread is inside %s%s; %s must not run on "
                 "two threads at once\n",
                 function, other, where, rule);
    std::abort();
}

SoleCall::~SoleCall()
{
    inside.store(nullptr, std::memory_order_relaxed);
}

std::atomic<const char *> ProcessWideCall::inside{nullptr};

ProcessWideCall::ProcessWideCall(const char *function)
    : call(inside, function, "", "hidapi's process-wide functions")
{
}

} // namespace basesim
