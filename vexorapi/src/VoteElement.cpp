#include <VexorAPI/VoteElement.h>

#include <utility>

VoteElement::VoteElement() = default;

VoteElement::VoteElement(boost::posix_time::ptime timestamp_, std::string remoteId_,
                         std::string answer_, unsigned char type_, unsigned char sequence_)
    : timestamp(timestamp_), remoteId(std::move(remoteId_)), answer(std::move(answer_)),
      type(type_), sequence(sequence_)
{
}

VoteElement::~VoteElement() = default;

unsigned char VoteElement::getType() const
{
    return type;
}

boost::posix_time::ptime VoteElement::getTimestamp() const
{
    return timestamp;
}

std::string VoteElement::getRemoteId() const
{
    return remoteId;
}

std::string VoteElement::getAnswer() const
{
    return answer;
}

unsigned char VoteElement::getSequence() const
{
    return sequence;
}

IVoteElement *VoteElement::create(boost::posix_time::ptime stamp, const std::string &remote,
                                  const std::string &text, unsigned char voteType,
                                  unsigned char recordSequence) const
{
    return new VoteElement(stamp, remote, text, voteType, recordSequence);
}
