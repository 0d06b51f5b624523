// The gadget front end between the base model and a gadget's device node: a
// pseudo-terminal in raw mode stands in for the node (the test holds its
// master side) and a FIFO for the gadget's UDC file, so every bind and unbind
// arrives as one line.
#include "GadgetFrontEnd.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace basesim {
namespace {

constexpr int patienceMs = 10000;

// Reads exactly `length` bytes from fd, or fails after the patience.
std::vector<unsigned char> readExactly(int fd, std::size_t length)
{
    std::vector<unsigned char> bytes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(patienceMs);
    while (bytes.size() < length && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, patienceMs) <= 0)
            break;
        unsigned char chunk[128];
        const ssize_t got = ::read(fd, chunk, std::min(sizeof chunk, length - bytes.size()));
        if (got <= 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return bytes;
}

std::string readLine(int fd)
{
    std::string line;
    while (true) {
        const std::vector<unsigned char> byte = readExactly(fd, 1);
        if (byte.empty() || byte[0] == '\n')
            return byte.empty() ? "<nothing>" : line;
        line += char(byte[0]);
    }
}

class GadgetFrontEndTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char folder[] = "/tmp/gadget-XXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        gadgetDir = folder;
        ASSERT_EQ(::mkfifo((gadgetDir + "/UDC").c_str(), 0600), 0);
        // Read and write: the front end's opens never wait for a reader.
        udc = ::open((gadgetDir + "/UDC").c_str(), O_RDWR | O_CLOEXEC);
        int slave = -1;
        char name[64];
        ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        termios raw{};
        ::tcgetattr(slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave, TCSANOW, &raw);
        node = name;
        // Kept open so the line stays raw while the front end reopens it.
        slaveKeeper = slave;
    }

    void start()
    {
        frontEnd = std::make_unique<GadgetFrontEnd>(model, node, UdcBinding(gadgetDir, "udc.test"),
                                                    nullptr);
        runner = std::thread([this] { ran = frontEnd->run(); });
    }

    void TearDown() override
    {
        if (frontEnd) {
            frontEnd->stop();
            runner.join();
            EXPECT_TRUE(ran);
        }
        ::close(master);
        ::close(slaveKeeper);
        ::close(udc);
        std::system(("rm -rf " + gadgetDir).c_str());
    }

    BaseModel model{true};
    std::string gadgetDir;
    std::string node;
    int udc = -1;
    int master = -1;
    int slaveKeeper = -1;
    std::unique_ptr<GadgetFrontEnd> frontEnd;
    std::thread runner;
    bool ran = false;
};

TEST_F(GadgetFrontEndTest, ReportsCrossInBothDirectionsOnTheBoundGadget)
{
    start();
    EXPECT_EQ(readLine(udc), "udc.test");

    // The host's vote start, as the node delivers it: no report number.
    const unsigned char startVote[] = {0x01, 0x11, 0x00};
    ASSERT_EQ(::write(master, startVote, sizeof startVote), ssize_t(sizeof startVote));
    ASSERT_TRUE(model.waitForWrites(1, std::chrono::milliseconds(patienceMs)));
    EXPECT_EQ(model.writtenReports()[0].bytes, (Report{0x00, 0x01, 0x11, 0x00}));

    // The base's answer, then a vote report, in that order, 64 bytes each.
    ASSERT_TRUE(model.sendVotes({{0x123456, 'B'}}));
    const std::vector<unsigned char> answer = readExactly(master, reportSize);
    const std::vector<unsigned char> votes = readExactly(master, reportSize);
    ASSERT_EQ(answer.size(), reportSize);
    ASSERT_EQ(votes.size(), reportSize);
    EXPECT_EQ(answer[0], 0x01);
    EXPECT_EQ(answer[1], 0x11);
    EXPECT_EQ(votes[0], 0x02);
    EXPECT_EQ(votes[1], 0x30);
}

TEST_F(GadgetFrontEndTest, EveryReplugUnbindsAndBindsAgain)
{
    model.unplug();
    start();
    model.plug();
    EXPECT_EQ(readLine(udc), "udc.test");
    // An unplug and a plug-in in one step of the model still reach the
    // host as a cable pulled and put back.
    model.replugAfterWrite(1);
    const unsigned char report[] = {0x01, 0x2d};
    ASSERT_EQ(::write(master, report, sizeof report), ssize_t(sizeof report));
    EXPECT_EQ(readLine(udc), "");
    EXPECT_EQ(readLine(udc), "udc.test");
    frontEnd->stop();
    runner.join();
    frontEnd.reset();
    EXPECT_EQ(readLine(udc), "") << "stopping pulls the cable";
}

} // namespace
} // namespace basesim
