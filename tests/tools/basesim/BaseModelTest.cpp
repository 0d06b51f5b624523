// The model of the base on its own, as a transport's front end sees it: the
// input reports it sends and its attachments, in order, and the output
// reports it takes. No hidapi is linked here.

#include "BaseModel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace {

using basesim::BaseModel;
using basesim::Clock;
using basesim::Microseconds;
using basesim::Report;
using namespace std::chrono_literals;

// Logs what the model tells a front end: "report <kind> <command> <size>",
// "plugged <attachment>", "unplugged <attachment>".
class LoggingFrontEnd : public BaseModel::Listener
{
public:
    void inputReport(const Report &report) override
    {
        log.push_back("report " + std::to_string(report[0]) + " " + std::to_string(report[1]) +
                      " " + std::to_string(report.size()));
    }
    void attachmentChanged(unsigned long attachment, bool plugged) override
    {
        log.push_back((plugged ? "plugged " : "unplugged ") + std::to_string(attachment));
    }

    std::vector<std::string> log;
};

TEST(BaseModelTest, FrontEndSeesReportsAndAttachmentsInOrder)
{
    BaseModel base(true);
    base.setReportInterval(0us); // each report at once
    LoggingFrontEnd frontEnd;
    base.addListener(&frontEnd);
    const unsigned long first = base.attachment();
    const Report start{0x00, 0x01, 0x11}, stop{0x00, 0x01, 0x12}, other{0x00, 0x01, 0x13};

    EXPECT_TRUE(base.receiveOutputReport(first, start.data(), start.size()));
    EXPECT_TRUE(base.receiveOutputReport(first, other.data(), other.size()));
    base.sendInputReport({0x02, 0x30});
    base.replugAfterWrite(1);
    EXPECT_TRUE(base.receiveOutputReport(first, stop.data(), stop.size()));
    EXPECT_FALSE(base.receiveOutputReport(first, start.data(), start.size()))
        << "the replug ended the attachment it was sent on";
    base.unplug();
    const unsigned long unplugged = base.attachment();
    base.sendInputReport({0x01, 0x11});
    base.unplug();
    EXPECT_FALSE(base.receiveOutputReport(unplugged, start.data(), start.size()));
    base.plug();
    EXPECT_TRUE(base.receiveOutputReport(base.attachment(), stop.data(), stop.size()));

    EXPECT_EQ(frontEnd.log,
              (std::vector<std::string>{"report 1 17 64", "report 2 48 64", "report 1 18 64",
                                        "unplugged " + std::to_string(first + 1),
                                        "plugged " + std::to_string(first + 2),
                                        "unplugged " + std::to_string(first + 3),
                                        "plugged " + std::to_string(first + 4), "report 1 18 64"}));
    EXPECT_EQ(base.writtenReports().size(), 4u);
}

// Notes when each input report reaches it, and its second byte.
class TimingFrontEnd : public BaseModel::Listener
{
public:
    void inputReport(const Report &report) override
    {
        arrivals.emplace_back(Clock::now(), report[1]);
    }
    void attachmentChanged(unsigned long, bool) override {}

    std::vector<std::pair<Clock::time_point, unsigned char>> arrivals;
};

// A burst goes out one report per interval, in order; the production interval
// is a millisecond, as a full-speed USB interrupt endpoint is polled.
TEST(BaseModelTest, ABurstGoesOutOneReportPerInterval)
{
    const std::vector<std::pair<std::optional<Microseconds>, Microseconds>> cases = {
        {std::nullopt, 1ms}, // the production interval
        {30ms, 30ms},
    };
    for (const auto &[setting, interval] : cases) {
        BaseModel base(true);
        TimingFrontEnd frontEnd;
        base.addListener(&frontEnd);
        if (setting)
            base.setReportInterval(*setting);
        const Clock::time_point before = Clock::now();
        for (unsigned char i = 0; i < 4; ++i)
            base.sendInputReport({0x02, i});
        ASSERT_TRUE(base.waitForHandOver(std::chrono::seconds(10)));

        std::vector<unsigned char> order;
        for (const auto &arrival : frontEnd.arrivals)
            order.push_back(arrival.second);
        EXPECT_EQ(order, (std::vector<unsigned char>{0, 1, 2, 3}));
        EXPECT_GE(frontEnd.arrivals.back().first - before, 3 * interval) << interval.count();
    }
}

// What the base still holds is lost when it is unplugged.
TEST(BaseModelTest, AnUnplugLosesTheReportsTheBaseHolds)
{
    BaseModel base(true);
    LoggingFrontEnd frontEnd;
    base.addListener(&frontEnd);
    base.setReportInterval(std::chrono::hours(1));
    base.sendInputReport({0x02, 0x30});
    base.sendInputReport({0x01, 0x11});
    EXPECT_FALSE(base.waitForHandOver(0ms)) << "the second report is held";
    base.unplug();
    EXPECT_TRUE(base.waitForHandOver(0ms));
    base.plug();
    base.setReportInterval(0us);
    base.sendInputReport({0x01, 0x12});
    EXPECT_EQ(frontEnd.log,
              (std::vector<std::string>{
                  "report 2 48 64", "unplugged " + std::to_string(base.attachment() - 1),
                  "plugged " + std::to_string(base.attachment()), "report 1 18 64"}));
}

} // namespace
