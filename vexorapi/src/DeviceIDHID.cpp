#include "DeviceIDHID.h"

DeviceIDHID::DeviceIDHID(int vendorId_, int productId_, int third_)
    : vendorId(static_cast<uint16_t>(vendorId_)), productId(static_cast<uint16_t>(productId_)),
      third(third_)
{
}
