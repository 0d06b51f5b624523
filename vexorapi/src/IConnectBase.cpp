#include <VexorAPI/IConnectBase.h>

IConnectBase::IConnectBase() = default;

IConnectBase::IConnectBase(IProtocol *protocol_, IBaseManagement *management_)
    : protocol(protocol_), management(management_)
{
}

IConnectBase::IConnectBase(ISleeper *sleeper_, IProtocol *protocol_, IBaseManagement *management_)
    : sleeper(sleeper_), protocol(protocol_), management(management_)
{
}

IConnectBase::~IConnectBase() = default;
