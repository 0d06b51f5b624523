#include <VexorAPI/HidInputBuffers.h>

#ifdef _WIN32

#include <windows.h>

namespace {

using NumInputBuffersGetter = BOOLEAN(__stdcall *)(HANDLE, PULONG);
using NumInputBuffersSetter = BOOLEAN(__stdcall *)(HANDLE, ULONG);

// The system HID library, loaded once for the life of the process.
HMODULE hidLibrary()
{
    static const HMODULE library = LoadLibraryA("hid.dll");
    return library;
}

template <typename Function> Function hidFunction(const char *name)
{
    HMODULE library = hidLibrary();
    if (library == nullptr)
        return nullptr;
    // Through the generic function pointer type, which any function
    // pointer converts to and from without a warning.
    const auto generic = reinterpret_cast<void (*)()>(GetProcAddress(library, name));
    return reinterpret_cast<Function>(generic);
}

// The Windows backend of the HID access layer keeps the device's file handle
// as the first member of its device structure.
HANDLE osHandle(hid_device *device)
{
    return *reinterpret_cast<HANDLE *>(device);
}

} // namespace

int hid_GetNumInputBuffers(hid_device *device, unsigned long *count)
{
    static const auto get = hidFunction<NumInputBuffersGetter>("HidD_GetNumInputBuffers");
    if (device == nullptr || count == nullptr || get == nullptr)
        return 0;
    ULONG value = 0;
    if (!get(osHandle(device), &value))
        return 0;
    *count = value;
    return 1;
}

int hid_SetNumInputBuffers(hid_device *device, unsigned long count)
{
    static const auto set = hidFunction<NumInputBuffersSetter>("HidD_SetNumInputBuffers");
    if (device == nullptr || set == nullptr || !set(osHandle(device), count))
        return 0;
    unsigned long readBack = 0;
    return hid_GetNumInputBuffers(device, &readBack) == 1 && readBack == count ? 1 : 0;
}

#else

// The Linux HID layer has no per-device count of input buffers.
int hid_GetNumInputBuffers(hid_device *, unsigned long *)
{
    return 0;
}

int hid_SetNumInputBuffers(hid_device *, unsigned long)
{
    return 0;
}

#endif
