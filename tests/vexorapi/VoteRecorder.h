#ifndef TESTS_VEXORAPI_VOTERECORDER_H
#define TESTS_VEXORAPI_VOTERECORDER_H

#include <VexorAPI/IVoteSessionMutators.h>
#include <VexorAPI/VoteElement.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A client's vote callbacks that write each call down as one line of text,
// so that a test can compare the whole sequence of callbacks at once:
//   "vote 11 D 123456 9"  (type, answer, remote, sequence; type and sequence
//                          in hexadecimal, NUL characters of the answer as \0)
//   "state 2", "record gap", "report gap"
// Every record is kept, so its other fields can be checked as well.
class VoteRecorder : public IVoteSessionMutators
{
public:
    VoteRecorder() : IVoteSessionMutators(0, 0, &prototype) {}

    void addVote(IVoteElement *vote) override;
    void voteStateChanged(int state) override;
    void recordSequenceGap() override;
    void reportSequenceGap() override;

    std::vector<std::string> events() const;
    std::size_t voteCount() const;
    // The records received, in order; owned by the recorder.
    std::vector<std::shared_ptr<IVoteElement>> votes() const;
    // Waits until at least count votes arrived; false after the time limit.
    bool waitForVotes(std::size_t count, std::chrono::milliseconds limit);
    // Waits until event has been logged times times; false after the limit.
    bool waitForEvent(const std::string &event, int times, std::chrono::milliseconds limit);
    // Waits until the last vote received matches; false after the limit.
    bool waitForLastVote(const std::function<bool(IVoteElement &)> &matches,
                         std::chrono::milliseconds limit);

    static std::string describe(IVoteElement &vote);

private:
    void record(std::string event);

    VoteElement prototype;
    mutable std::mutex mutex; // protects log and received
    std::condition_variable logged;
    std::vector<std::string> log;
    std::vector<std::shared_ptr<IVoteElement>> received;
};

#endif // TESTS_VEXORAPI_VOTERECORDER_H
