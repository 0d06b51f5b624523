// hidapi's C functions over the simulated base. Programs linked against the
// basesim library ahead of hidapi (or preloading it) reach these instead of
// the real devices.
//
// The functions that use hidapi's process-wide state are marked with a
// ProcessWideCall: hid_init, hid_exit, hid_enumerate, hid_open, hid_open_path,
// hid_error(NULL), and the string getters (hidraw's fill in a handle's
// device information on first use, and a failure there sets the global
// error). hid_free_enumeration touches only what it frees. Every function on
// a handle, hid_close included, is a call on that handle (see HandleCall in
// HidapiFrontEnd.cpp): no two threads may be inside calls on one handle.

#include "ControlChannel.h"
#include "ProcessSimulation.h"
#include "SoleCall.h"

#include <hidapi/hidapi.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

using basesim::HidapiFrontEnd;
using basesim::ProcessWideCall;

namespace {

constexpr unsigned short releaseNumber = 0x0107;
constexpr unsigned short vendorUsagePage = 0xFF00;
const wchar_t *const manufacturer = L"Vexor";
const wchar_t *const product = L"Vexor B42M base station";
const wchar_t *const serialNumber = L"BASESIM0001";

wchar_t *copyText(const wchar_t *text)
{
    const std::size_t size = (std::wcslen(text) + 1) * sizeof(wchar_t);
    auto *copy = static_cast<wchar_t *>(std::malloc(size));
    std::memcpy(copy, text, size);
    return copy;
}

hid_device_info *newDeviceInfo()
{
    auto *info = static_cast<hid_device_info *>(std::calloc(1, sizeof(hid_device_info)));
    info->path = strdup(HidapiFrontEnd::devicePath);
    info->vendor_id = basesim::vendorId;
    info->product_id = basesim::productId;
    info->serial_number = copyText(serialNumber);
    info->release_number = releaseNumber;
    info->manufacturer_string = copyText(manufacturer);
    info->product_string = copyText(product);
    info->usage_page = vendorUsagePage;
    info->usage = 1;
    info->interface_number = 0;
    info->bus_type = HID_API_BUS_USB;
    return info;
}

HidapiFrontEnd &hidapi()
{
    return basesim::processHidapi();
}

// Copies text into the caller's buffer of maxlen characters, always
// terminated; -1 for a dead handle, as the real library answers.
int copyString(const char *function, hid_device *dev, const wchar_t *text, wchar_t *string,
               std::size_t maxlen)
{
    const ProcessWideCall call(function);
    if (!hidapi().isAlive(dev, function) || string == nullptr || maxlen == 0)
        return -1;
    std::wcsncpy(string, text, maxlen);
    string[maxlen - 1] = L'\0';
    return 0;
}

} // namespace

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void)
{
    const ProcessWideCall call("hid_init");
    basesim::ControlChannel::startFromEnvironment();
    return 0;
}

int HID_API_EXPORT HID_API_CALL hid_exit(void)
{
    const ProcessWideCall call("hid_exit");
    return 0;
}

struct hid_device_info HID_API_EXPORT *HID_API_CALL hid_enumerate(unsigned short vendor_id,
                                                                  unsigned short product_id)
{
    const ProcessWideCall call("hid_enumerate");
    basesim::ControlChannel::startFromEnvironment();
    return hidapi().enumerate(vendor_id, product_id) ? newDeviceInfo() : nullptr;
}

void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info *devs)
{
    while (devs != nullptr) {
        hid_device_info *next = devs->next;
        std::free(devs->path);
        std::free(devs->serial_number);
        std::free(devs->manufacturer_string);
        std::free(devs->product_string);
        std::free(devs);
        devs = next;
    }
}

HID_API_EXPORT hid_device *HID_API_CALL hid_open(unsigned short vendor_id,
                                                 unsigned short product_id,
                                                 const wchar_t *serial_number)
{
    const ProcessWideCall call("hid_open");
    basesim::ControlChannel::startFromEnvironment();
    if (serial_number != nullptr && std::wcscmp(serial_number, serialNumber) != 0)
        return nullptr;
    return hidapi().open(vendor_id, product_id);
}

HID_API_EXPORT hid_device *HID_API_CALL hid_open_path(const char *path)
{
    const ProcessWideCall call("hid_open_path");
    basesim::ControlChannel::startFromEnvironment();
    return hidapi().openPath(path);
}

int HID_API_EXPORT HID_API_CALL hid_write(hid_device *dev, const unsigned char *data, size_t length)
{
    return hidapi().write(dev, data, length);
}

int HID_API_EXPORT HID_API_CALL hid_read_timeout(hid_device *dev, unsigned char *data,
                                                 size_t length, int milliseconds)
{
    return hidapi().read(dev, data, length, milliseconds, "hid_read_timeout");
}

int HID_API_EXPORT HID_API_CALL hid_read(hid_device *dev, unsigned char *data, size_t length)
{
    return hidapi().read(dev, data, length, hidapi().isNonBlocking(dev) ? 0 : -1, "hid_read");
}

int HID_API_EXPORT HID_API_CALL hid_set_nonblocking(hid_device *dev, int nonblock)
{
    return hidapi().setNonBlocking(dev, nonblock);
}

int HID_API_EXPORT HID_API_CALL hid_send_feature_report(hid_device *dev, const unsigned char *,
                                                        size_t)
{
    return hidapi().unsupported(dev, "hid_send_feature_report");
}

int HID_API_EXPORT HID_API_CALL hid_get_feature_report(hid_device *dev, unsigned char *, size_t)
{
    return hidapi().unsupported(dev, "hid_get_feature_report");
}

int HID_API_EXPORT HID_API_CALL hid_get_input_report(hid_device *dev, unsigned char *, size_t)
{
    return hidapi().unsupported(dev, "hid_get_input_report");
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device *dev)
{
    hidapi().close(dev);
}

int HID_API_EXPORT_CALL hid_get_manufacturer_string(hid_device *dev, wchar_t *string, size_t maxlen)
{
    return copyString("hid_get_manufacturer_string", dev, manufacturer, string, maxlen);
}

int HID_API_EXPORT_CALL hid_get_product_string(hid_device *dev, wchar_t *string, size_t maxlen)
{
    return copyString("hid_get_product_string", dev, product, string, maxlen);
}

int HID_API_EXPORT_CALL hid_get_serial_number_string(hid_device *dev, wchar_t *string,
                                                     size_t maxlen)
{
    return copyString("hid_get_serial_number_string", dev, serialNumber, string, maxlen);
}

struct hid_device_info HID_API_EXPORT *HID_API_CALL hid_get_device_info(hid_device *dev)
{
    hidapi().unsupported(dev, "hid_get_device_info");
    return nullptr;
}

int HID_API_EXPORT_CALL hid_get_indexed_string(hid_device *dev, int, wchar_t *, size_t)
{
    return hidapi().unsupported(dev, "hid_get_indexed_string");
}

HID_API_EXPORT const wchar_t *HID_API_CALL hid_error(hid_device *dev)
{
    if (dev != nullptr)
        return hidapi().error(dev);
    const ProcessWideCall call("hid_error");
    return hidapi().globalError();
}

HID_API_EXPORT const struct hid_api_version *HID_API_CALL hid_version(void)
{
    static const hid_api_version version{HID_API_VERSION_MAJOR, HID_API_VERSION_MINOR,
                                         HID_API_VERSION_PATCH};
    return &version;
}

HID_API_EXPORT const char *HID_API_CALL hid_version_str(void)
{
    return HID_API_VERSION_STR;
}

} // extern "C"
