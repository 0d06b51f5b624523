// VexorAPI.dll beside a "hid.dll" that lacks HidD_GetNumInputBuffers: the HID
// layer refuses to start, and every call that needs it fails.
#include <gtest/gtest.h>
#include <hidapi/hidapi.h>

TEST(WindowsHid, InitFailsWhenAnInputBufferFunctionIsMissing)
{
    EXPECT_EQ(hid_init(), -1);
    EXPECT_EQ(hid_init(), -1) << "a failed initialisation is not remembered";
    EXPECT_EQ(hid_enumerate(0, 0), nullptr);
    EXPECT_EQ(hid_open(0x1881, 0x0150, nullptr), nullptr);
}
