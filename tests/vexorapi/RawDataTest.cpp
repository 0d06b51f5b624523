#include "IRawData.h"
#include "RawDataElement.h"

#include <VexorAPI/VoteElement.h>

#include <boost/date_time/posix_time/posix_time.hpp>

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace {

using boost::posix_time::ptime;

std::array<unsigned char, 64> reportBytes()
{
    std::array<unsigned char, 64> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i + 1);
    return bytes;
}

TEST(RawDataElementTest, CreateCopiesTheBytesAndLeavesThePrototype)
{
    const std::array<unsigned char, 64> zeros{};
    RawDataElement prototype(zeros.data(), 64);
    std::array<unsigned char, 64> buffer = reportBytes();

    std::unique_ptr<IRawDataElement> element(prototype.create(buffer.data(), 64));
    buffer.fill(0xEE);

    ASSERT_NE(element.get(), &prototype);
    ASSERT_EQ(element->getLength(), 64);
    const std::array<unsigned char, 64> expected = reportBytes();
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), element->getData()));
    EXPECT_EQ(prototype.getLength(), 64);
    EXPECT_TRUE(std::all_of(prototype.getData(), prototype.getData() + 64,
                            [](unsigned char b) { return b == 0; }));
}

TEST(RawDataElementTest, DefinedStateForOddArguments)
{
    const RawDataElement empty;
    EXPECT_EQ(empty.getLength(), 0);
    EXPECT_TRUE(empty.getTimestamp()->is_not_a_date_time());

    const std::array<unsigned char, 4> bytes{1, 2, 3, 4};
    EXPECT_EQ(RawDataElement(bytes.data(), -5).getLength(), 0);
    EXPECT_EQ(RawDataElement(nullptr, 64).getLength(), 0);

    RawDataElement element(bytes.data(), 4);
    const std::array<unsigned char, 2> other{9, 8};
    element.setData(other.data(), 2);
    ASSERT_EQ(element.getLength(), 2);
    EXPECT_EQ(element.getData()[0], 9);
}

// Stamps are local time to the whole second, so elements made within one
// second carry the same stamp.
TEST(RawDataElementTest, StampsAreWholeSecondsAndEqualWithinASecond)
{
    const std::array<unsigned char, 64> bytes = reportBytes();
    for (int attempt = 0; attempt < 5; ++attempt) {
        const ptime before = boost::posix_time::second_clock::local_time();
        RawDataElement first(bytes.data(), 64);
        RawDataElement second(bytes.data(), 64);
        const ptime after = boost::posix_time::second_clock::local_time();
        EXPECT_EQ(first.getTimestamp()->time_of_day().fractional_seconds(), 0);
        EXPECT_GE(*first.getTimestamp(), before);
        EXPECT_LE(*second.getTimestamp(), after);
        if (before == after) {
            EXPECT_EQ(*first.getTimestamp(), *second.getTimestamp());
            return;
        }
    }
    FAIL() << "the clock changed its second during every attempt";
}

// Counts its destructions, to see who frees queued elements.
class CountedElement : public RawDataElement
{
public:
    explicit CountedElement(int &destructions) : destroyed(destructions) {}
    ~CountedElement() override { ++destroyed; }

private:
    int &destroyed;
};

TEST(RawDataTest, QueueOwnsItsElementsNotThePrototype)
{
    const std::array<unsigned char, 64> zeros{};
    RawDataElement prototype(zeros.data(), 64);
    int destroyed = 0;
    {
        IRawData rawData(&prototype);
        EXPECT_EQ(rawData.prototype->getLength(), 64);
        for (int i = 0; i < 3; ++i)
            rawData.elements.push_back(new CountedElement(destroyed));
        auto front = rawData.elements.pop_front();
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(prototype.getLength(), 64);
}

TEST(VoteElementTest, CreateMakesADistinctRecordAndLeavesTheFactory)
{
    VoteElement factory;
    EXPECT_TRUE(factory.getTimestamp().is_not_a_date_time());
    EXPECT_EQ(factory.getRemoteId(), "");
    EXPECT_EQ(factory.getAnswer(), "");

    const ptime stamp(boost::gregorian::date(2026, 12, 7), boost::posix_time::hours(9));
    std::unique_ptr<IVoteElement> vote(
        factory.create(stamp, "0ab001", std::string("x\0y", 3), 0x87, 0xFE));
    ASSERT_NE(vote.get(), &factory);
    EXPECT_EQ(vote->getTimestamp(), stamp);
    EXPECT_EQ(vote->getRemoteId(), "0ab001");
    EXPECT_EQ(vote->getAnswer(), std::string("x\0y", 3));
    EXPECT_EQ(vote->getType(), 0x87);
    EXPECT_EQ(vote->getSequence(), 0xFE);
    EXPECT_EQ(factory.getAnswer(), "");

    std::unique_ptr<IVoteElement> copy(vote->create(stamp, "ffffff", "A", 0x11, 0));
    EXPECT_EQ(vote->getRemoteId(), "0ab001");
    EXPECT_EQ(copy->getRemoteId(), "ffffff");
}

} // namespace
