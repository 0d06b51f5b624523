// preload_probe: an ordinary hidapi program (linked against the real hidapi
// only) that looks for the base and writes one report to it. Run with the
// simulated base preloaded it must find and reach the simulation.

#include <hidapi/hidapi.h>

#include <cstdio>

int main()
{
    hid_init();
    hid_device_info *devices = hid_enumerate(0x1881, 0x0150);
    const bool found = devices != nullptr;
    hid_free_enumeration(devices);
    hid_device *device = hid_open(0x1881, 0x0150, nullptr);
    unsigned char report[64] = {0x00, 0x01, 0x12};
    const bool written = device != nullptr && hid_write(device, report, sizeof(report)) == 64;
    unsigned char answer[64] = {};
    const bool answered = device != nullptr && hid_read_timeout(device, answer, 64, 1000) > 0 &&
                          answer[0] == 0x01 && answer[1] == 0x12;
    if (device != nullptr)
        hid_close(device);
    hid_exit();
    std::printf("base %s, write %s, answer %s\n", found ? "found" : "absent",
                written ? "ok" : "failed", answered ? "01 12" : "none");
    return 0;
}
