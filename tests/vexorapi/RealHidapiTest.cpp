// HIDHIDAPI over the real hidapi, on a machine where no base is attached.

#include "DeviceIDHID.h"
#include "HIDHIDAPI.h"

#include <hidapi/hidapi.h>

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

TEST(RealHidapiTest, LinkedAgainstTheRealLibrary)
{
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void *>(&hid_enumerate), &info), 0);
    EXPECT_NE(std::strstr(info.dli_fname, "hidapi"), nullptr) << info.dli_fname;
}

TEST(RealHidapiTest, WithoutABaseNothingOpens)
{
    DeviceIDHID deviceId(0x1881, 0x0150, 0);
    HIDHIDAPI hid(&deviceId);
    bool present = true;
    EXPECT_TRUE(hid.isPresent(present));
    EXPECT_FALSE(present);
    EXPECT_FALSE(hid.open());
    EXPECT_FALSE(hid.isOpen());

    std::array<unsigned char, 64> buffer{};
    EXPECT_FALSE(hid.readTimeout(buffer.data(), 64, 10));
    EXPECT_FALSE(hid.write(buffer.data()));
    EXPECT_TRUE(hid.setNumInputBuffers(512));
    EXPECT_TRUE(hid.close());
    EXPECT_TRUE(hid.close());
}

} // namespace
