#ifndef VEXORAPI_IVOTEELEMENT_H
#define VEXORAPI_IVOTEELEMENT_H

#include <VexorAPI/VexorExport.h>

#include <boost/date_time/posix_time/posix_time_types.hpp>

#include <string>

// One vote as the library hands it to its client: who voted, what they
// answered, which kind of question the answer belongs to, when the report
// holding it was read, and the remote's running sequence byte.
//
// The library makes every record through create() on the prototype that the
// client supplies (IVoteSessionMutators::votePrototype), so a client chooses
// the concrete class of the records it receives. Records never change once
// made.
class VEXOR_API IVoteElement
{
public:
    IVoteElement();
    // Establishes the interface only; the values are kept by the subclass.
    IVoteElement(boost::posix_time::ptime timestamp, std::string remoteId, std::string answer,
                 unsigned char type, unsigned char sequence);
    virtual ~IVoteElement();

    // 0x11 for the choices A to E, 0x86 for F, 0x87 numeric, 0x88 and 0x8B
    // alphanumeric entries.
    virtual unsigned char getType() = 0;
    // Local wall-clock time, to the whole second, at which the report was read.
    virtual boost::posix_time::ptime getTimestamp() = 0;
    // Six lowercase hexadecimal digits, e.g. "0ab001".
    virtual std::string getRemoteId() = 0;
    virtual std::string getAnswer() = 0;
    virtual unsigned char getSequence() = 0;
    // Returns a new record holding these values; this object is unchanged.
    // The caller owns the result.
    virtual IVoteElement *create(boost::posix_time::ptime timestamp, std::string remoteId,
                                 std::string answer, unsigned char type,
                                 unsigned char sequence) = 0;
};

#endif // VEXORAPI_IVOTEELEMENT_H
