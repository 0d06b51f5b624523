#include "VoteRecorder.h"
#include "VoteReports.h"

#include "BaseDataEvents.h"
#include "IRawData.h"
#include "InputReportsParser.h"
#include "RawDataElement.h"

#include <boost/thread/thread.hpp>

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

using namespace vote_reports;
using Events = std::vector<std::string>;

Bytes numeric(const Bytes &digits, unsigned char last, unsigned char sequence = 1)
{
    Bytes record{0x87, 0x12, 0x34, 0x56};
    record.insert(record.end(), digits.begin(), digits.end());
    record.push_back(last);
    record.push_back(sequence);
    return record;
}

Bytes alphanumeric(unsigned char type, const Bytes &codes, unsigned char sequence = 1)
{
    Bytes record{type, 0x12, 0x34, 0x56};
    record.insert(record.end(), codes.begin(), codes.end());
    record.push_back(sequence);
    return record;
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class ParserTest : public ::testing::Test
{
protected:
    ParserTest() { parser.setTrace(&trace); }

    // Queues one report (zero-padded to 64 bytes unless given a length) and
    // lets the parser handle everything queued.
    void feed(const Bytes &bytes) { feedRaw(padded(bytes).data(), 64); }

    void feedRaw(const unsigned char *bytes, int length)
    {
        queue(bytes, length);
        parser.parsePending();
    }

    void queue(const unsigned char *bytes, int length)
    {
        boost::lock_guard<boost::mutex> guard(dataEvents.mutex);
        rawData.elements.push_back(prototype.create(bytes, length));
    }

    static std::array<unsigned char, 64> padded(const Bytes &bytes)
    {
        std::array<unsigned char, 64> report{};
        std::copy(bytes.begin(), bytes.end(), report.begin());
        return report;
    }

    std::string answerOf(const Bytes &record)
    {
        feed({0x01, 0x11}); // fresh tracking for every record
        feed(voteReport(1, record));
        const auto votes = recorder.votes();
        return votes.empty() ? "(none)" : votes.back()->getAnswer();
    }

    std::array<unsigned char, 64> zeros{};
    RawDataElement prototype{zeros.data(), 64};
    IRawData rawData{&prototype};
    BaseDataEvents dataEvents;
    VoteRecorder recorder;
    std::ostringstream trace;
    InputReportsParser parser{&rawData, &recorder, &dataEvents};
};

TEST_F(ParserTest, ChoiceReportFirstAfterStartUp)
{
    feed({0x02, 0x30, 0x07, 0x05, 0x84, 0x12, 0x34, 0x56, 0x09});
    EXPECT_EQ(recorder.events(), Events({"vote 11 D 123456 9"}));
}

TEST_F(ParserTest, ChoiceTypesAndRemoteIdentifier)
{
    feed(voteReport(1, concat({choice(0x81, 1),
                               choice(0x85, 2),
                               choice(0x86, 3),
                               choice(0x11, 4),
                               {0x82, 0x0A, 0xB0, 0x01, 5}})));
    EXPECT_EQ(recorder.events(),
              Events({"vote 11 A 123456 1", "vote 11 E 123456 2", "vote 86 F 123456 3",
                      "vote 11 \xd1 123456 4", "vote 11 B 0ab001 5"}));
}

TEST_F(ParserTest, DuplicateAndReportSequence)
{
    const Bytes first{0x02, 0x30, 0x07, 0x05, 0x84, 0x12, 0x34, 0x56, 0x09};
    feed(first);
    feed(first); // the base sent it twice: ignored
    feed(voteReport(0x08, choice(0x84, 0x0A)));
    feed(voteReport(0x0A, choice(0x84, 0x0B)));
    EXPECT_EQ(recorder.events(), Events({"vote 11 D 123456 9", "vote 11 D 123456 a", "report gap",
                                         "vote 11 D 123456 b"}));
}

TEST_F(ParserTest, RecordSequence)
{
    feed(voteReport(1, concat({choice(0x81, 0x05), choice(0x82, 0x05), choice(0x83, 0x07)})));
    EXPECT_EQ(recorder.events(), Events({"vote 11 A 123456 5", "vote 11 B 123456 5", "record gap",
                                         "vote 11 C 123456 7"}));
}

TEST_F(ParserTest, SequencesWrapAround)
{
    feed(voteReport(0xFF, choice(0x81, 0xFF)));
    feed(voteReport(0x00, choice(0x82, 0x00)));
    EXPECT_EQ(recorder.events(), Events({"vote 11 A 123456 ff", "vote 11 B 123456 0"}));
}

TEST_F(ParserTest, CountZeroTakesOverTheSequence)
{
    feed(voteReport(0x05, {}));
    feed(voteReport(0x06, choice(0x81, 1)));
    feed(voteReport(0x08, choice(0x82, 2)));
    EXPECT_EQ(recorder.events(),
              Events({"vote 11 A 123456 1", "report gap", "vote 11 B 123456 2"}));
}

TEST_F(ParserTest, VoteStartResetsTrackingAndStopIsReported)
{
    feed(voteReport(0x20, choice(0x81, 0x30)));
    feed({0x01, 0x11});
    feed(voteReport(0x20, choice(0x82, 0x40))); // same report sequence, far record sequence
    feed({0x01, 0x12});
    feed(voteReport(0x20, choice(0x83, 0x41))); // no reset by the stop: a repeat
    EXPECT_EQ(recorder.events(),
              Events({"vote 11 A 123456 30", "state 2", "vote 11 B 123456 40", "state 3"}));
}

TEST_F(ParserTest, UnknownRecordTypeEndsTheReport)
{
    feed(voteReport(1, concat({choice(0x81, 1), choice(0x90, 2), choice(0x82, 3)})));
    EXPECT_EQ(recorder.events(), Events({"vote 11 A 123456 1"}));
}

TEST_F(ParserTest, RecordBeyondCountIsNotRead)
{
    Bytes report = voteReport(1, concat({choice(0x81, 1), choice(0x82, 2)}));
    report[3] = 9; // the second record's sequence byte lies past the count
    feed(report);
    EXPECT_EQ(recorder.events(), Events({"vote 11 A 123456 1"}));
}

// The count byte may claim 255 bytes; records end with the report's 64th byte.
TEST_F(ParserTest, RecordsNeverExtendPastTheReport)
{
    Bytes records;
    for (unsigned char i = 0; i < 12; ++i) // 60 bytes: offsets 4 to 63
        records = concat({records, choice(0x81, i)});
    Bytes report = voteReport(1, records);
    report[3] = 0xFF;
    feed(report);
    EXPECT_EQ(recorder.voteCount(), 12u);
    EXPECT_EQ(recorder.votes().back()->getSequence(), 11);

    Bytes tooLong = voteReport(2, records);
    tooLong.resize(59);
    tooLong[3] = 0xFF;
    tooLong.push_back(0x87); // a numeric record at offset 59 would need 10 bytes
    feed(tooLong);
    EXPECT_EQ(recorder.voteCount(), 12u + 11u);
}

// Elements shorter than a report are read as if padded with zeros.
TEST_F(ParserTest, ShortElementsAreZeroPadded)
{
    const Bytes report{0x02, 0x30, 0x07, 0x05, 0x84, 0x12, 0x34, 0x56, 0x09};
    feedRaw(report.data(), static_cast<int>(report.size()));
    feedRaw(nullptr, 0);
    EXPECT_EQ(recorder.events(), Events({"vote 11 D 123456 9"}));
}

// The worked examples of numeric entries: each 4-bit value is the digit plus
// 2, a byte of 0x0F or less yields one character, and the last byte places
// the point.
TEST_F(ParserTest, NumericAnswers)
{
    const Bytes digits{0x34, 0x56, 0x78, 0x9A};
    const Bytes threes{0x05, 0x05, 0x05, 0x05};
    const struct
    {
        Bytes digits;
        unsigned char last;
        std::string answer;
    } cases[] = {
        {digits, 0x07, "1234.5678"},
        {digits, 0x0F, "12345678"},
        {digits, 0x80, ".12345678"},
        {{0x23, 0x45, 0x67, 0x89}, 0x0F, "01234567"},
        {threes, 0x0F, "3333"},
        {{0xF5, 0x05, 0x05, 0x05}, 0x0F, std::string(1, '\0') + "3333"},
        {threes, 0x07, "3333."}, // the point after the last character
        {threes, 0x0B, "3333"},  // fewer characters than the point needs: no point
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "last byte " << int(c.last));
        EXPECT_EQ(answerOf(numeric(c.digits, c.last)), c.answer);
    }
}

// A code byte below 0x80 is one character; a byte from 0x80 is a full stop
// and a character. Codes that no table covers give "?", after the full stop
// for the dotted ones.
TEST_F(ParserTest, AlphanumericAnswers)
{
    const std::string nul(1, '\0');
    const struct
    {
        Bytes codes;
        std::string answer;
    } cases[] = {
        {{0x03, 0x04, 0xA3, 0x01, 0x01, 0x01, 0x01, 0x01}, "AB.1     "},
        {{0x00, 0x80, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03}, nul + ".AAAAAAA"},
        {{0x30, 0x7F, 0xAD, 0xFF, 0x03, 0x03, 0x03, 0x03}, "??.?.?AAAA"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "first code " << int(c.codes[0]));
        EXPECT_EQ(answerOf(alphanumeric(0x88, c.codes)), c.answer);
    }
    const Bytes sixteen{0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A,
                        0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0xA2};
    EXPECT_EQ(answerOf(alphanumeric(0x8B, sixteen)), "ABCDEFGHIJKLMNO.0");
    EXPECT_EQ(recorder.votes().back()->getType(), 0x8B);
}

TEST_F(ParserTest, RecordsCarryTheReportsTimestamp)
{
    feed(voteReport(1, concat({choice(0x81, 1), numeric({0x34, 0x56, 0x78, 0x9A}, 0x0F, 2)})));
    const auto votes = recorder.votes();
    ASSERT_EQ(votes.size(), 2u);
    EXPECT_FALSE(votes[0]->getTimestamp().is_not_a_date_time());
    EXPECT_EQ(votes[0]->getTimestamp(), votes[1]->getTimestamp());
    EXPECT_EQ(votes[0]->getTimestamp().time_of_day().fractional_seconds(), 0);
}

TEST_F(ParserTest, TraceLinePerReport)
{
    feed({0x02, 0x30, 0x07, 0x05, 0x84, 0x12, 0x34, 0x56, 0x09});
    feed({0xFF, 0x01});
    const auto zeroBytes = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += " 0";
        return text;
    };
    EXPECT_EQ(trace.str(), "\nnew:  2 30 7 5 84 12 34 56 9" + zeroBytes(55) + "\n" +
                               "\nnew:  ff 1" + zeroBytes(62) + "\n");

    const std::size_t traced = trace.str().size();
    parser.setTrace(nullptr);
    feed({0x01, 0x12});
    EXPECT_EQ(trace.str().size(), traced);
}

// A client may choose the class of its records through its prototype.
class ClientVote : public VoteElement
{
public:
    using VoteElement::VoteElement;
    IVoteElement *create(boost::posix_time::ptime stamp, std::string remote, std::string text,
                         unsigned char voteType, unsigned char recordSequence) override
    {
        return new ClientVote(stamp, remote, text, voteType, recordSequence);
    }
};

TEST_F(ParserTest, RecordsComeFromTheClientsPrototype)
{
    ClientVote clientPrototype;
    recorder.votePrototype = &clientPrototype;
    feed(voteReport(1, choice(0x81, 1)));
    ASSERT_EQ(recorder.voteCount(), 1u);
    EXPECT_NE(dynamic_cast<ClientVote *>(recorder.votes()[0].get()), nullptr);
}

class ThrowingRecorder : public VoteRecorder
{
public:
    void addVote(IVoteElement *vote) override
    {
        delete vote;
        throw std::runtime_error("client failure");
    }
};

// A failing client callback leaves the parser; the element is freed and the
// reports behind it stay queued.
TEST_F(ParserTest, ClientExceptionFreesTheElement)
{
    ThrowingRecorder failing;
    InputReportsParser failingParser(&rawData, &failing, &dataEvents);
    failingParser.setTrace(nullptr);
    const auto report = padded(voteReport(1, choice(0x81, 1)));
    queue(report.data(), 64);
    queue(report.data(), 64);
    EXPECT_THROW(failingParser.parsePending(), std::runtime_error);
    EXPECT_EQ(rawData.elements.size(), 1u);
}

TEST_F(ParserTest, ParserThreadHandlesEveryNotifiedReportAndEndsOnInterruption)
{
    parser.setTrace(nullptr);
    boost::thread thread([this] { parser.run(); });
    for (unsigned char i = 0; i < 10; ++i) {
        const auto report = padded(voteReport(i, choice(0x81, i)));
        queue(report.data(), 64);
        dataEvents.notifyNewData();
    }
    EXPECT_TRUE(recorder.waitForVotes(10, std::chrono::seconds(10)));
    thread.interrupt();
    thread.join();
    EXPECT_EQ(recorder.voteCount(), 10u);
    EXPECT_EQ(recorder.events().size(), 10u); // no gaps
}

} // namespace
