#include <VexorAPI/IVoteElement.h>

IVoteElement::IVoteElement() = default;

IVoteElement::IVoteElement(boost::posix_time::ptime, std::string, std::string, unsigned char,
                           unsigned char)
{
}

IVoteElement::~IVoteElement() = default;
