#ifndef VEXORAPI_VOTEELEMENT_H
#define VEXORAPI_VOTEELEMENT_H

#include <VexorAPI/IVoteElement.h>

// The library's own vote record: plain values, copied in and out.
class VEXOR_API VoteElement : public IVoteElement
{
public:
    // Not-a-date-time, empty strings and zero bytes.
    VoteElement();
    VoteElement(boost::posix_time::ptime timestamp, std::string remoteId, std::string answer,
                unsigned char type, unsigned char sequence);
    ~VoteElement() override;

    unsigned char getType() override;
    boost::posix_time::ptime getTimestamp() override;
    std::string getRemoteId() override;
    std::string getAnswer() override;
    unsigned char getSequence() override;
    IVoteElement *create(boost::posix_time::ptime timestamp, std::string remoteId,
                         std::string answer, unsigned char type, unsigned char sequence) override;

private:
    boost::posix_time::ptime timestamp;
    std::string remoteId;
    std::string answer;
    unsigned char type = 0;
    unsigned char sequence = 0;
};

#endif // VEXORAPI_VOTEELEMENT_H
