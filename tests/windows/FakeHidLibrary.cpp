// A stand-in for the system's "hid.dll" that has every function hidapi's
// hid_init resolves except HidD_GetNumInputBuffers. Only the names matter:
// hid_init gives up before it calls any of them.

#define FAKE_HID_FUNCTION(name)                                                                    \
    extern "C" __declspec(dllexport) int name()                                                    \
    {                                                                                              \
        return 0;                                                                                  \
    }

FAKE_HID_FUNCTION(HidD_GetAttributes)
FAKE_HID_FUNCTION(HidD_GetSerialNumberString)
FAKE_HID_FUNCTION(HidD_GetManufacturerString)
FAKE_HID_FUNCTION(HidD_GetProductString)
FAKE_HID_FUNCTION(HidD_SetFeature)
FAKE_HID_FUNCTION(HidD_GetFeature)
FAKE_HID_FUNCTION(HidD_GetIndexedString)
FAKE_HID_FUNCTION(HidD_GetPreparsedData)
FAKE_HID_FUNCTION(HidD_FreePreparsedData)
FAKE_HID_FUNCTION(HidP_GetCaps)
FAKE_HID_FUNCTION(HidD_SetNumInputBuffers)
FAKE_HID_FUNCTION(HidD_GetHidGuid)
FAKE_HID_FUNCTION(HidD_GetInputReport)
