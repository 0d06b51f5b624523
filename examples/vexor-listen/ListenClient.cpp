#include "ListenClient.h"

#include <memory>

ListenClient::ListenClient(std::ostream &out_) : IVoteSessionMutators(0, 0, &prototype), out(out_)
{
}

void ListenClient::onNoBase()
{
    baseEvent("no base");
}

void ListenClient::onBaseFound()
{
    baseEvent("found");
}

void ListenClient::onOpeningBase()
{
    baseEvent("opening");
}

void ListenClient::onBaseReady()
{
    baseEvent("ready");
}

void ListenClient::onBaseLost()
{
    baseEvent("lost");
}

void ListenClient::addVote(IVoteElement *vote)
{
    const std::unique_ptr<IVoteElement> owned(vote);
    print("vote " + ListenVote::describe(*owned));
}

void ListenClient::voteStateChanged(int state)
{
    if (state == 2)
        print("vote started");
    else if (state == 3)
        print("vote stopped");
    else
        print("vote state " + std::to_string(state));
}

void ListenClient::recordSequenceGap()
{
    print("gap: records missed");
}

void ListenClient::reportSequenceGap()
{
    print("gap: reports missed");
}

void ListenClient::print(const std::string &line)
{
    std::lock_guard<std::mutex> guard(outMutex);
    out << line << std::endl;
}

void ListenClient::baseEvent(const std::string &event)
{
    std::lock_guard<std::mutex> guard(outMutex);
    if (event == "no base" && lastBaseEvent == event)
        return; // the search repeats ten times a second
    lastBaseEvent = event;
    out << "base " << event << std::endl;
}
