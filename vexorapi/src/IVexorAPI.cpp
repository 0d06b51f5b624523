#include <VexorAPI/IVexorAPI.h>

IVexorAPI::IVexorAPI() = default;

IVexorAPI::IVexorAPI(IProtocol *protocol_, IConnectBase *connectBase_, IDeviceReader *,
                     IInputReportsParser *)
    : protocol(protocol_), connectBase(connectBase_)
{
}

IVexorAPI::IVexorAPI(IBaseManagementEvents *, IVoteSessionMutators *) {}

IVexorAPI::~IVexorAPI() = default;
