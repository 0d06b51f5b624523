#ifndef EXAMPLES_VEXOR_LISTEN_LISTENCLIENT_H
#define EXAMPLES_VEXOR_LISTEN_LISTENCLIENT_H

#include "ListenVote.h"

#include <VexorAPI/IBaseManagementEvents.h>
#include <VexorAPI/IVoteSessionMutators.h>

#include <mutex>
#include <ostream>
#include <string>

// Both callback interfaces of the library: prints one line per base event
// (a run of "no base" searches as one line) and one per vote. The library
// calls them from its own threads, so every line is written under a lock.
class ListenClient : public IBaseManagementEvents, public IVoteSessionMutators
{
public:
    explicit ListenClient(std::ostream &out);

    void onNoBase() override;
    void onBaseFound() override;
    void onOpeningBase() override;
    void onBaseReady() override;
    void onBaseLost() override;

    void addVote(IVoteElement *vote) override;
    void voteStateChanged(int state) override;
    void recordSequenceGap() override;
    void reportSequenceGap() override;

    // Writes one line, also for the command loop on the main thread.
    void print(const std::string &line);

private:
    void baseEvent(const std::string &event);

    ListenVote prototype;
    std::mutex outMutex; // protects out and lastBaseEvent
    std::ostream &out;
    std::string lastBaseEvent;
};

#endif // EXAMPLES_VEXOR_LISTEN_LISTENCLIENT_H
