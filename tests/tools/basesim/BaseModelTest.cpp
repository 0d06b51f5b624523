// The model of the base on its own, as a transport's front end sees it: the
// input reports it sends and its attachments, in order, and the output
// reports it takes. No hidapi is linked here.

#include "BaseModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using basesim::BaseModel;
using basesim::Report;

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

} // namespace
