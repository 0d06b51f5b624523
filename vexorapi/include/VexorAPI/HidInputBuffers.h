#ifndef VEXORAPI_HIDINPUTBUFFERS_H
#define VEXORAPI_HIDINPUTBUFFERS_H

#include <VexorAPI/VexorExport.h>

#ifdef __cplusplus
extern "C" {
#endif

// The device handle of the HID access layer (declared the same way there).
struct hid_device_;
typedef struct hid_device_ hid_device;

/// Asks the operating system how many input reports it queues for the open
/// device and writes the number to *count. Returns 1 on success, 0 on failure
/// (then *count is untouched). Platforms without such a count always fail.
VEXOR_API int hid_GetNumInputBuffers(hid_device *device, unsigned long *count);

/// Sets the number of input reports the operating system queues for the open
/// device and reads it back. Returns 1 only when the count read back equals
/// the requested one, 0 otherwise (always 0 on platforms without such a count).
VEXOR_API int hid_SetNumInputBuffers(hid_device *device, unsigned long count);

#ifdef __cplusplus
}
#endif

#endif // VEXORAPI_HIDINPUTBUFFERS_H
