#include "IUSBSpecifications.h"

#include "IHID.h"

#include <array>
#include <cstring>

IUSBSpecifications::IUSBSpecifications() = default;

IUSBSpecifications::IUSBSpecifications(int kind_, int command_, IHID *hid_,
                                       const std::string &description_)
    : kind(kind_), command(command_), description(description_), hid(hid_)
{
}

IUSBSpecifications::~IUSBSpecifications() = default;

bool IUSBSpecifications::payloadFits(const unsigned char *, unsigned char length)
{
    return length <= maxPayload;
}

bool IUSBSpecifications::isAvailable()
{
    return true;
}

bool IUSBSpecifications::sendReport(const unsigned char *payload, unsigned char length)
{
    if (!payloadFits(payload, length))
        return false;
    std::array<unsigned char, reportSize> report{};
    report[1] = static_cast<unsigned char>(kind);
    report[2] = static_cast<unsigned char>(command);
    if (length > 0)
        std::memcpy(report.data() + 3, payload, length);
    return hid->write(report.data());
}

bool IUSBSpecifications::sendEmptyReport()
{
    return sendReport(nullptr, 0);
}
