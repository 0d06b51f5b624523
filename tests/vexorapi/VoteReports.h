#ifndef TESTS_VEXORAPI_VOTEREPORTS_H
#define TESTS_VEXORAPI_VOTEREPORTS_H

#include <algorithm>
#include <vector>

// Builders of the input reports that the base sends, kind byte first.
namespace vote_reports {

using Bytes = std::vector<unsigned char>;

// A vote report: 02 30, report sequence, count, then the record bytes.
inline Bytes voteReport(unsigned char sequence, const Bytes &records)
{
    Bytes report(4 + records.size());
    report[0] = 0x02;
    report[1] = 0x30;
    report[2] = sequence;
    report[3] = static_cast<unsigned char>(records.size());
    std::copy(records.begin(), records.end(), report.begin() + 4);
    return report;
}

// A choice record (types 0x11, 0x81 to 0x86) of the remote numbered remote.
inline Bytes choice(unsigned char type, unsigned char sequence, unsigned remote = 0x123456)
{
    return {type, static_cast<unsigned char>(remote >> 16), static_cast<unsigned char>(remote >> 8),
            static_cast<unsigned char>(remote), sequence};
}

} // namespace vote_reports

#endif // TESTS_VEXORAPI_VOTEREPORTS_H
