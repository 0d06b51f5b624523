#ifndef VEXORAPI_IUSBSPECIFICATIONS_H
#define VEXORAPI_IUSBSPECIFICATIONS_H

#include <string>

class IHID;

/// One command of the base: builds its 64-byte output report (byte 0 report
/// number 0, byte 1 kind, byte 2 command, payload from byte 3) and writes it.
class IUSBSpecifications
{
public:
    static constexpr int reportSize = 64;
    static constexpr unsigned char maxPayload = 61;

    IUSBSpecifications();
    IUSBSpecifications(int kind, int command, IHID *hid, const std::string &description);
    virtual ~IUSBSpecifications();

    /// True when length is at most 61 bytes (the bytes are not examined).
    virtual bool payloadFits(const unsigned char *payload, unsigned char length);
    /// Always true.
    virtual bool isAvailable();

    /// Sends the report with the payload; refuses (false, nothing written) a
    /// payload that does not fit. Answers the result of the HID write.
    bool sendReport(const unsigned char *payload, unsigned char length);
    /// Sends the report with an all-zero payload.
    bool sendEmptyReport();

    int kind = 0;
    int command = 0;
    std::string description;
    IHID *hid = nullptr;
};

#endif // VEXORAPI_IUSBSPECIFICATIONS_H
