#ifndef EXAMPLES_VEXOR_LISTEN_LISTENVOTE_H
#define EXAMPLES_VEXOR_LISTEN_LISTENVOTE_H

#include <VexorAPI/IVoteElement.h>

#include <string>

// The record class this client receives: the library makes every vote
// through create() on a prototype of it.
class ListenVote : public IVoteElement
{
public:
    ListenVote() = default;
    ListenVote(boost::posix_time::ptime timestamp, std::string remoteId, std::string answer,
               unsigned char type, unsigned char sequence);

    unsigned char getType() override { return type; }
    boost::posix_time::ptime getTimestamp() override { return timestamp; }
    std::string getRemoteId() override { return remoteId; }
    std::string getAnswer() override { return answer; }
    unsigned char getSequence() override { return sequence; }
    IVoteElement *create(boost::posix_time::ptime timestamp, std::string remoteId,
                         std::string answer, unsigned char type, unsigned char sequence) override;

    // "2026-12-07 09:30:05 remote 123456 answer D type 0x11 seq 9"
    static std::string describe(IVoteElement &vote);

private:
    boost::posix_time::ptime timestamp;
    std::string remoteId;
    std::string answer;
    unsigned char type = 0;
    unsigned char sequence = 0;
};

#endif // EXAMPLES_VEXOR_LISTEN_LISTENVOTE_H
