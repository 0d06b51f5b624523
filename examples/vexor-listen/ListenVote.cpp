#include "ListenVote.h"

#include <boost/date_time/posix_time/posix_time_io.hpp>

#include <cstdio>
#include <sstream>
#include <utility>

namespace {

// Answers may hold the character 0 and bytes above 0x7F: show those as \xNN.
std::string printable(const std::string &text)
{
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            shown += c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
        }
    }
    return shown;
}

} // namespace

ListenVote::ListenVote(boost::posix_time::ptime timestamp_, std::string remoteId_,
                       std::string answer_, unsigned char type_, unsigned char sequence_)
    : timestamp(timestamp_), remoteId(std::move(remoteId_)), answer(std::move(answer_)),
      type(type_), sequence(sequence_)
{
}

IVoteElement *ListenVote::create(boost::posix_time::ptime stamp, std::string remote,
                                 std::string text, unsigned char voteType,
                                 unsigned char recordSequence)
{
    return new ListenVote(stamp, std::move(remote), std::move(text), voteType, recordSequence);
}

std::string ListenVote::describe(IVoteElement &vote)
{
    std::ostringstream line;
    line.imbue(std::locale(line.getloc(), new boost::posix_time::time_facet("%Y-%m-%d %H:%M:%S")));
    char typeText[8];
    std::snprintf(typeText, sizeof typeText, "0x%02x", vote.getType());
    line << vote.getTimestamp() << " remote " << vote.getRemoteId() << " answer "
         << printable(vote.getAnswer()) << " type " << typeText << " seq "
         << static_cast<int>(vote.getSequence());
    return line.str();
}
