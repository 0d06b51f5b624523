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

unsigned char VoteElement::getType()
{
    return type;
}

boost::posix_time::ptime VoteElement::getTimestamp()
{
    return timestamp;
}

std::string VoteElement::getRemoteId()
{
    return remoteId;
}

std::string VoteElement::getAnswer()
{
    return answer;
}

unsigned char VoteElement::getSequence()
{
    return sequence;
}

IVoteElement *VoteElement::create(boost::posix_time::ptime stamp, std::string remote,
                                  std::string text, unsigned char voteType,
                                  unsigned char recordSequence)
{
    return new VoteElement(stamp, std::move(remote), std::move(text), voteType, recordSequence);
}
