// Every facade of this test program runs with short intervals (a tenth to a
// twentieth of the production values), so that no test waits out production timings.
// The production values are proven where the sleeper, the protocol and the
// reader are tested.
#include "LibraryTiming.h"

#include <gtest/gtest.h>

namespace {

class ShortTiming : public ::testing::Environment
{
public:
    void SetUp() override
    {
        LibraryTiming timing;
        timing.shortPauseMs = 1;
        timing.mediumPauseMs = 2;
        timing.longPauseMs = 10;
        timing.readTimeoutMs = 50;
        LibraryTiming::setForNewFacades(timing);
    }
};

const ::testing::Environment *const shortTiming =
    ::testing::AddGlobalTestEnvironment(new ShortTiming);

} // namespace
