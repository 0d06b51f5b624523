#include <VexorAPI/IProtocol.h>

IProtocol::IProtocol() = default;

IProtocol::IProtocol(ISleeper *sleeper_, ISpecificationCollection *specifications_)
    : sleeper(sleeper_), specifications(specifications_)
{
}

IProtocol::~IProtocol() = default;
