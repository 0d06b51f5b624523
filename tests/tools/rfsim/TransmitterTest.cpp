// The transmitter: packet kind by mode, skipped and lost packets, and the log
// that tests and figures rely on.
#include "PacketLog.h"
#include "Transmitter.h"

#include <k-wendsdk/kwendsdk.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace rfsim {
namespace {

class TransmitterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(::pipe2(pipe_, O_NONBLOCK), 0);
        char pattern[] = "/tmp/rfsim-log-XXXXXX";
        const int fd = ::mkstemp(pattern);
        ASSERT_GE(fd, 0);
        ::close(fd);
        logPath_ = pattern;
        std::string error;
        ASSERT_TRUE(log_.open(logPath_, error)) << error;
        transmitter_.setBaud(0);
    }
    void TearDown() override
    {
        ::close(pipe_[0]);
        ::close(pipe_[1]);
        ::unlink(logPath_.c_str());
    }

    std::vector<std::uint8_t> sent(int fd)
    {
        transmitter_.service(Transmitter::Clock::now(), fd);
        std::vector<std::uint8_t> bytes(4096);
        const ssize_t n = ::read(pipe_[0], bytes.data(), bytes.size());
        bytes.resize(n > 0 ? std::size_t(n) : 0);
        return bytes;
    }
    std::vector<std::string> logLines()
    {
        std::ifstream file(logPath_);
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }

    int pipe_[2] = {-1, -1};
    std::string logPath_;
    PacketLog log_;
    Transmitter transmitter_{log_};
};

TEST_F(TransmitterTest, VoteModeSendsVotePacketsAndSkipsTexts)
{
    transmitter_.enqueue({Outgoing::Kind::Text, 100001, 0, "hello", {}});
    transmitter_.enqueue({Outgoing::Kind::Vote, 123456, 2, {}, {}});
    const auto bytes = sent(pipe_[1]);
    ASSERT_EQ(bytes.size(), 10u);
    std::uint32_t remote = 0;
    std::int32_t answer = 0;
    EXPECT_EQ(kwend_inspect(bytes.data(), &remote, &answer), 0);
    EXPECT_EQ(remote, 123456u);
    EXPECT_EQ(transmitter_.stats().skipped, 1u);
    EXPECT_EQ(transmitter_.stats().sent, 1u);

    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("\"kind\":\"text\""), std::string::npos);
    EXPECT_NE(lines[0].find("\"sent\":false"), std::string::npos);
    EXPECT_NE(lines[1].find("\"bytes\":\"be5e4b4f36dc0502482b\",\"sent\":true,\"intact\":true"),
              std::string::npos)
        << lines[1];
}

TEST_F(TransmitterTest, TextModeTurnsKeysIntoTextPackets)
{
    transmitter_.setMode(1);
    transmitter_.enqueue({Outgoing::Kind::Vote, 100002, 2, {}, {}});
    transmitter_.enqueue({Outgoing::Kind::Text, 100003, 0, "a\"b\\c", {}});
    const auto bytes = sent(pipe_[1]);
    ASSERT_EQ(bytes.size(), 64u);
    const char *expected[] = {"B", "a\"b\\c"};
    for (int i = 0; i < 2; ++i) {
        std::uint32_t remote = 0, first = 0;
        std::int32_t second = 0, excess = 0;
        char text[21] = {};
        ASSERT_EQ(
            kwend_drid_inspect(bytes.data() + 32 * i, &remote, &first, &second, &excess, text), 0);
        EXPECT_EQ(remote, 100002u + std::uint32_t(i));
        EXPECT_EQ(first, 1u);
        EXPECT_STREQ(text, expected[i]);
    }
    EXPECT_NE(logLines()[1].find("\"text\":\"a\\\"b\\\\c\""), std::string::npos) << logLines()[1];
}

TEST_F(TransmitterTest, UnpluggedPacketsAreLostNotQueued)
{
    transmitter_.enqueue({Outgoing::Kind::Vote, 100004, 1, {}, {}});
    transmitter_.enqueue({Outgoing::Kind::Bytes, 0, 0, {}, {0x00, 0xff}});
    EXPECT_TRUE(sent(-1).empty());
    EXPECT_TRUE(transmitter_.idle());
    EXPECT_EQ(transmitter_.stats().lost, 2u);
    EXPECT_EQ(transmitter_.stats().sent, 0u);
}

TEST_F(TransmitterTest, AFullPortHoldsThePacketUntilItDrains)
{
    // Fill the pipe so that the next write cannot go through.
    std::vector<std::uint8_t> filler(4096, 0);
    while (::write(pipe_[1], filler.data(), filler.size()) > 0) {
    }
    transmitter_.enqueue({Outgoing::Kind::Vote, 100005, 3, {}, {}});
    transmitter_.service(Transmitter::Clock::now(), pipe_[1]);
    EXPECT_TRUE(transmitter_.blockedOnPort());
    EXPECT_FALSE(transmitter_.idle());

    std::vector<std::uint8_t> drain(65536);
    while (::read(pipe_[0], drain.data(), drain.size()) > 0) {
    }
    transmitter_.service(Transmitter::Clock::now(), pipe_[1]);
    EXPECT_TRUE(transmitter_.idle());
    EXPECT_EQ(transmitter_.stats().sent, 1u);
    EXPECT_EQ(transmitter_.stats().lost, 0u);
}

} // namespace
} // namespace rfsim
