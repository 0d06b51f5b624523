// The simulator on a real pseudo-terminal: bytes pass unaltered both ways,
// unplugging makes the port vanish and plugging in brings back the same path,
// and the simulator answers the host's mode commands with the packet kind,
// which it keeps while plugged in, whatever the host does with the port.
#include "PseudoTerminal.h"
#include "LineSource.h"
#include "PacketLog.h"
#include "Simulator.h"

#include <k-wendsdk/kwendsdk.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace rfsim {
namespace {

namespace fs = std::filesystem;

class ScratchDir
{
public:
    ScratchDir()
    {
        char pattern[] = "/tmp/rfsim-test-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~ScratchDir() { fs::remove_all(path_); }
    fs::path operator/(const char *name) const { return path_ / name; }

private:
    fs::path path_;
};

// The host's end: opens the port by path in raw mode.
class Host
{
public:
    explicit Host(const std::string &path)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ >= 0) {
            termios settings{};
            tcgetattr(fd_, &settings);
            cfmakeraw(&settings);
            tcsetattr(fd_, TCSANOW, &settings);
        }
    }
    ~Host()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool isOpen() const { return fd_ >= 0; }
    void send(const std::vector<std::uint8_t> &bytes)
    {
        ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    // Reads until `count` bytes came or 5 s passed.
    std::vector<std::uint8_t> receive(std::size_t count)
    {
        std::vector<std::uint8_t> bytes;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            std::uint8_t buffer[512];
            const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (n <= 0)
                break;
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
        return bytes;
    }

private:
    int fd_ = -1;
};

std::vector<std::uint8_t> readAll(int fd, std::size_t count)
{
    std::vector<std::uint8_t> bytes;
    for (int attempt = 0; attempt < 50 && bytes.size() < count; ++attempt) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        std::uint8_t buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

TEST(RfsimPseudoTerminal, EveryByteValuePassesUnalteredBothWays)
{
    ScratchDir dir;
    PseudoTerminal port((dir / "receiver").string());
    std::string error;
    ASSERT_TRUE(port.plug(error)) << error;
    Host host(port.path());
    ASSERT_TRUE(host.isOpen());

    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i)
        all[std::size_t(i)] = std::uint8_t(i);
    ASSERT_EQ(::write(port.fd(), all.data(), all.size()), 256);
    EXPECT_EQ(host.receive(256), all);

    const std::vector<std::uint8_t> control = {0x0a, 0x0d, 0x11, 0x13, 0x7f, 0xff, 0x03, 0x04};
    host.send(control);
    EXPECT_EQ(readAll(port.fd(), control.size()), control);
}

// The kernel hands written bytes to the host's side a moment after the write:
// bytes on their way count as unread, or "the host has read everything" could
// be concluded too early.
TEST(RfsimPseudoTerminal, BytesJustWrittenCountAsUnread)
{
    ScratchDir dir;
    PseudoTerminal port((dir / "receiver").string());
    std::string error;
    ASSERT_TRUE(port.plug(error)) << error;
    Host host(port.path());
    ASSERT_TRUE(host.isOpen());

    const std::uint8_t byte = 0x5a;
    for (int round = 0; round < 200; ++round) {
        ASSERT_EQ(::write(port.fd(), &byte, 1), 1);
        ASSERT_GT(port.unreadByHost(), 0u) << "round " << round;
        ASSERT_EQ(host.receive(1).size(), 1u);
        ASSERT_EQ(port.unreadByHost(), 0u) << "round " << round;
    }
}

TEST(RfsimPseudoTerminal, UnplugRemovesThePathAndPlugRestoresIt)
{
    ScratchDir dir;
    const fs::path link = dir / "receiver";
    PseudoTerminal port(link.string());
    std::string error;
    ASSERT_TRUE(port.plug(error)) << error;
    const std::string firstDevice = port.devicePath();
    EXPECT_EQ(fs::read_symlink(link), firstDevice);
    Host host(link.string()); // a host that keeps the old port open

    port.unplug();
    EXPECT_FALSE(port.plugged());
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_FALSE(fs::exists(firstDevice));

    ASSERT_TRUE(port.plug(error)) << error;
    EXPECT_EQ(port.path(), link.string());
    EXPECT_TRUE(fs::exists(link)); // follows the link to the new device
    EXPECT_EQ(fs::read_symlink(link), port.devicePath());
}

TEST(RfsimPseudoTerminal, NeverReplacesAFileThatIsNoLink)
{
    ScratchDir dir;
    const fs::path file = dir / "precious";
    std::ofstream(file) << "keep";
    PseudoTerminal port(file.string());
    std::string error;
    EXPECT_FALSE(port.plug(error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(port.plugged());
    EXPECT_TRUE(fs::is_regular_file(file));
}

// Runs a simulator on its own thread, fed through a pipe as its control input.
class RunningSimulator
{
public:
    explicit RunningSimulator(PseudoTerminal &port) : simulator_(port, log_, events_, errors_)
    {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        control_ = fds[1];
        simulator_.addSource(std::make_unique<LineSource>("control", fds[0]));
        thread_ = std::thread([this] { simulator_.run(); });
    }
    ~RunningSimulator()
    {
        command("quit");
        thread_.join();
        ::close(control_);
    }
    void command(const std::string &line)
    {
        const std::string text = line + "\n";
        EXPECT_EQ(::write(control_, text.data(), text.size()), ssize_t(text.size()));
    }
    const Simulator &simulator() const { return simulator_; }
    // Waits until the simulator is in `mode` (it reads the host's commands
    // some time after they were written); false after 5 s.
    bool waitForMode(int mode) const
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (simulator_.mode() != mode) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

private:
    PacketLog log_;
    std::ostringstream events_; // read only after the thread ended
    std::ostringstream errors_;
    Simulator simulator_;
    int control_ = -1;
    std::thread thread_;
};

// A vote packet's remote identifier, or 0 when the bytes are none.
std::uint32_t voteRemote(const std::vector<std::uint8_t> &bytes)
{
    std::uint32_t remote = 0;
    std::int32_t answer = 0;
    const bool accepted = bytes.size() == 10 && kwend_inspect(bytes.data(), &remote, &answer) == 0;
    return accepted && answer == 2 ? remote : 0;
}

// The receiver has power while it is plugged in: it keeps the mode the host
// asked for while the host closes the port and opens it again (a program that
// quits and starts again); only unplugging brings back vote packets.
TEST(RfsimSimulator, SendsThePacketKindTheHostAskedForUntilUnplugged)
{
    ScratchDir dir;
    PseudoTerminal port((dir / "receiver").string());
    std::string error;
    ASSERT_TRUE(port.plug(error)) << error;
    RunningSimulator running(port);
    {
        Host leaving(port.path());
        running.command("vote 123456 b");
        EXPECT_EQ(voteRemote(leaving.receive(10)), 123456u);
        leaving.send({0x82, 0x48, 0x00, 0x00, 0x4a});
        ASSERT_TRUE(running.waitForMode(1));
    }

    Host host(port.path());
    running.command("text 100001 It's \\ \"q\"");
    const std::vector<std::uint8_t> text = host.receive(32);
    ASSERT_EQ(text.size(), 32u);
    std::uint32_t remote = 0, first = 0;
    std::int32_t second = 0, excess = 0;
    char typed[21] = {};
    ASSERT_EQ(kwend_drid_inspect(text.data(), &remote, &first, &second, &excess, typed), 0);
    EXPECT_EQ(remote, 100001u);
    EXPECT_EQ(first, 1u);
    EXPECT_STREQ(typed, "It's \\ \"q\"");

    running.command("unplug");
    running.command("plug");
    ASSERT_TRUE(running.waitForMode(0));
    Host replugged(port.path());
    running.command("vote 200000 b");
    EXPECT_EQ(voteRemote(replugged.receive(10)), 200000u);
}

} // namespace
} // namespace rfsim
