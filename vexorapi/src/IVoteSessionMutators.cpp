#include <VexorAPI/IVoteSessionMutators.h>

IVoteSessionMutators::IVoteSessionMutators() = default;

IVoteSessionMutators::IVoteSessionMutators(unsigned int, unsigned char,
                                           IVoteElement *votePrototype_)
    : votePrototype(votePrototype_)
{
}

IVoteSessionMutators::~IVoteSessionMutators() = default;

void IVoteSessionMutators::reservedNotification() {}
