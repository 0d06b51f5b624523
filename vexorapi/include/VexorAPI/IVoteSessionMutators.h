#ifndef VEXORAPI_IVOTESESSIONMUTATORS_H
#define VEXORAPI_IVOTESESSIONMUTATORS_H

#include <VexorAPI/VexorExport.h>

class IVoteElement;

// Vote callbacks, implemented by the client. Every call comes from the
// library's parser thread, one at a time, never from the client's own threads.
// What a callback may call, and that no exception may leave it, is said at
// IBaseManagementEvents.
class VEXOR_API IVoteSessionMutators
{
public:
    // Leaves votePrototype unset; set it before the library runs.
    IVoteSessionMutators();
    // Stores only the prototype; the first two arguments are ignored.
    IVoteSessionMutators(unsigned int, unsigned char, IVoteElement *votePrototype);
    virtual ~IVoteSessionMutators();

    // One decoded vote. The record was made by votePrototype->create() for
    // this call alone and now belongs to the client.
    virtual void addVote(IVoteElement *vote) = 0;
    // 2 when the base confirms the start of a vote, 3 when it confirms its stop.
    virtual void voteStateChanged(int state) = 0;
    // Reserved slot that keeps the gap callbacks in place; the library never
    // calls it, so a client need not override it.
    virtual void reservedNotification();
    // At least one record went missing before the next addVote().
    virtual void recordSequenceGap() = 0;
    // At least one vote report went missing before the next report's votes.
    virtual void reportSequenceGap() = 0;

    // Prototype from which the library makes every vote record; not owned.
    // It must stay alive for as long as the library runs.
    IVoteElement *votePrototype = nullptr;
};

#endif // VEXORAPI_IVOTESESSIONMUTATORS_H
