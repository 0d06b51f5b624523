#include "IHID.h"

IHID::IHID() = default;

IHID::IHID(DeviceIDHID *deviceId_) : deviceId(deviceId_) {}

IHID::~IHID() = default;
