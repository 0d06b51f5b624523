#include "VoteRecorder.h"

#include <algorithm>
#include <cstdio>

void VoteRecorder::addVote(IVoteElement *vote)
{
    std::shared_ptr<IVoteElement> owned(vote);
    std::lock_guard<std::mutex> guard(mutex);
    log.push_back(describe(*vote));
    received.push_back(owned);
    logged.notify_all();
}

void VoteRecorder::voteStateChanged(int state)
{
    record("state " + std::to_string(state));
}

void VoteRecorder::recordSequenceGap()
{
    record("record gap");
}

void VoteRecorder::reportSequenceGap()
{
    record("report gap");
}

void VoteRecorder::record(std::string event)
{
    std::lock_guard<std::mutex> guard(mutex);
    log.push_back(std::move(event));
    logged.notify_all();
}

std::vector<std::string> VoteRecorder::events() const
{
    std::lock_guard<std::mutex> guard(mutex);
    return log;
}

std::size_t VoteRecorder::voteCount() const
{
    std::lock_guard<std::mutex> guard(mutex);
    return received.size();
}

std::vector<std::shared_ptr<IVoteElement>> VoteRecorder::votes() const
{
    std::lock_guard<std::mutex> guard(mutex);
    return received;
}

bool VoteRecorder::waitForVotes(std::size_t count, std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> guard(mutex);
    return logged.wait_for(guard, limit, [&] { return received.size() >= count; });
}

bool VoteRecorder::waitForEvent(const std::string &event, int times,
                                std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> guard(mutex);
    return logged.wait_for(guard, limit,
                           [&] { return std::count(log.begin(), log.end(), event) >= times; });
}

bool VoteRecorder::waitForLastVote(const std::function<bool(IVoteElement &)> &matches,
                                   std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> guard(mutex);
    return logged.wait_for(guard, limit,
                           [&] { return !received.empty() && matches(*received.back()); });
}

std::string VoteRecorder::describe(IVoteElement &vote)
{
    std::string answer;
    for (const char c : vote.getAnswer())
        answer += c == '\0' ? std::string("\\0") : std::string(1, c);
    char type[4];
    char sequence[4];
    std::snprintf(type, sizeof type, "%02x", vote.getType());
    std::snprintf(sequence, sizeof sequence, "%x", vote.getSequence());
    return std::string("vote ") + type + " " + answer + " " + vote.getRemoteId() + " " + sequence;
}
