// Feeds arbitrary bytes, cut into 64-byte input reports (the last one
// zero-padded), through the input report parser, and checks every vote it
// delivers against the record layout.
#include "BaseDataEvents.h"
#include "IRawData.h"
#include "InputReportsParser.h"
#include "RawDataElement.h"

#include <VexorAPI/IVoteSessionMutators.h>
#include <VexorAPI/VoteElement.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <ostream>

namespace {

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

void require(bool condition)
{
    if (!condition)
        std::abort();
}

class CheckingMutators : public IVoteSessionMutators
{
public:
    CheckingMutators() : IVoteSessionMutators(0, 0, &prototype) {}

    void addVote(IVoteElement *vote) override
    {
        const std::unique_ptr<IVoteElement> owned(vote);
        const std::string remote = vote->getRemoteId();
        require(remote.size() == 6 && std::all_of(remote.begin(), remote.end(), isHex));
        const std::size_t answer = vote->getAnswer().size();
        switch (vote->getType()) {
        case 0x11:
        case 0x86:
            require(answer == 1);
            break;
        case 0x87: // up to 8 digits and a point
            require(answer >= 4 && answer <= 9);
            break;
        case 0x88: // one or two characters per code
            require(answer >= 8 && answer <= 16);
            break;
        case 0x8B:
            require(answer >= 16 && answer <= 32);
            break;
        default:
            require(false);
        }
    }
    void voteStateChanged(int state) override { require(state == 2 || state == 3); }
    void recordSequenceGap() override {}
    void reportSequenceGap() override {}

private:
    VoteElement prototype;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr std::size_t reportLength = InputReportsParser::reportLength;
    static const std::array<unsigned char, reportLength> zeros{};
    static RawDataElement prototype(zeros.data(), reportLength);
    static std::ostream discard(nullptr); // the trace runs, its output goes nowhere

    IRawData rawData(&prototype);
    BaseDataEvents dataEvents;
    CheckingMutators mutators;
    InputReportsParser parser(&rawData, &mutators, &dataEvents);
    parser.setTrace(&discard);

    for (std::size_t offset = 0; offset < size; offset += reportLength) {
        std::array<unsigned char, reportLength> report{};
        std::copy_n(data + offset, std::min(reportLength, size - offset), report.begin());
        rawData.elements.push_back(prototype.create(report.data(), reportLength));
    }
    parser.parsePending();
    return 0;
}
