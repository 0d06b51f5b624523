// The simulated base station itself, through hidapi's functions: that it
// really stands in for hidapi, and behaves as the base does.

#include <basesim/BaseSim.h>

#include <hidapi/hidapi.h>

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <tuple>

namespace {

using Bytes = std::vector<unsigned char>;
using Buffer = std::array<unsigned char, 64>;

class BaseSimTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        basesim::reset();
        basesim::setReportInterval(basesim::Microseconds(0)); // bursts at once
    }

    static hid_device *openBase()
    {
        return hid_open(basesim::vendorId, basesim::productId, nullptr);
    }

    // The second byte of each report the handle holds, reading them all.
    static Bytes commandsRead(hid_device *device)
    {
        Bytes commands;
        Buffer buffer{};
        while (hid_read_timeout(device, buffer.data(), buffer.size(), 0) > 0)
            commands.push_back(buffer[1]);
        return commands;
    }
};

TEST_F(BaseSimTest, HidapiCallsReachTheSimulation)
{
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void *>(&hid_enumerate), &info), 0);
    EXPECT_NE(std::strstr(info.dli_fname, "basesim"), nullptr) << info.dli_fname;
    ASSERT_NE(dladdr(dlsym(RTLD_DEFAULT, "hid_read_timeout"), &info), 0);
    EXPECT_NE(std::strstr(info.dli_fname, "basesim"), nullptr) << info.dli_fname;
}

TEST_F(BaseSimTest, EnumeratesAndOpensOnlyWhilePlugged)
{
    hid_device_info *devices = hid_enumerate(basesim::vendorId, basesim::productId);
    ASSERT_NE(devices, nullptr);
    EXPECT_EQ(devices->vendor_id, basesim::vendorId);
    EXPECT_EQ(devices->product_id, basesim::productId);
    EXPECT_EQ(devices->next, nullptr);
    hid_free_enumeration(devices);
    devices = hid_enumerate(0, 0);
    EXPECT_NE(devices, nullptr) << "0, 0 matches every device";
    hid_free_enumeration(devices);

    basesim::unplug();
    EXPECT_EQ(hid_enumerate(basesim::vendorId, basesim::productId), nullptr);
    EXPECT_EQ(openBase(), nullptr);
    basesim::plug();
    hid_device *device = openBase();
    ASSERT_NE(device, nullptr);
    hid_close(device);
}

TEST_F(BaseSimTest, UnplugWakesABlockedReadWithAnError)
{
    hid_device *device = openBase();
    ASSERT_NE(device, nullptr);
    std::atomic<int> result{0};
    std::thread reader([&] {
        Buffer buffer{};
        result = hid_read(device, buffer.data(), buffer.size());
    });
    EXPECT_TRUE(basesim::waitForBlockedReads(1, std::chrono::seconds(10)));
    basesim::unplug();
    reader.join();
    EXPECT_EQ(result, -1);
    EXPECT_NE(hid_error(device), nullptr);
    const Buffer report{};
    EXPECT_EQ(hid_write(device, report.data(), report.size()), -1);
    hid_close(device);
}

// An injected read failure hits one read only, a waiting one at once; the base
// stays enumerated and the handle keeps reading and writing.
TEST_F(BaseSimTest, InjectedReadFailureFailsOneReadOnly)
{
    hid_device *device = openBase();
    ASSERT_NE(device, nullptr);
    std::atomic<int> result{0};
    std::thread reader([&] {
        Buffer buffer{};
        result = hid_read_timeout(device, buffer.data(), buffer.size(), 10000);
    });
    EXPECT_TRUE(basesim::waitForBlockedReads(1, std::chrono::seconds(10)));
    const auto failed = std::chrono::steady_clock::now();
    basesim::failNextRead();
    reader.join();
    EXPECT_EQ(result, -1);
    EXPECT_LT(std::chrono::steady_clock::now() - failed, std::chrono::seconds(5));
    EXPECT_NE(hid_error(device), nullptr);
    EXPECT_TRUE(basesim::isPlugged());
    hid_device_info *devices = hid_enumerate(basesim::vendorId, basesim::productId);
    EXPECT_NE(devices, nullptr);
    hid_free_enumeration(devices);

    Buffer buffer{};
    basesim::failNextRead(); // no read waiting: the next one fails
    EXPECT_EQ(hid_read_timeout(device, buffer.data(), buffer.size(), 0), -1);
    EXPECT_EQ(hid_read_timeout(device, buffer.data(), buffer.size(), 0), 0);
    basesim::queueInputReport({0x01, 0x11});
    EXPECT_EQ(hid_read_timeout(device, buffer.data(), buffer.size(), 0), 64);
    EXPECT_EQ(buffer[1], 0x11);
    EXPECT_EQ(hid_write(device, buffer.data(), buffer.size()), 64);
    hid_close(device);
}

// Each open handle has its own queue and receives every input report sent
// while it is open, as with hidraw: a report read through one handle is still
// there for the other; a handle opened later gets only what comes later.
TEST_F(BaseSimTest, EveryOpenHandleReceivesEveryInputReport)
{
    hid_device *first = openBase();
    hid_device *second = openBase();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    basesim::queueInputReport({0x01, 0x11});
    basesim::queueInputReport({0x01, 0x12});
    hid_device *late = openBase();
    ASSERT_NE(late, nullptr);
    basesim::queueInputReport({0x01, 0x13});

    EXPECT_EQ(commandsRead(first), (Bytes{0x11, 0x12, 0x13}));
    EXPECT_EQ(commandsRead(second), (Bytes{0x11, 0x12, 0x13}));
    EXPECT_EQ(commandsRead(late), (Bytes{0x13}));

    // A report left unread is discarded with its handle; the records count it.
    basesim::queueInputReport({0x01, 0x14});
    hid_close(first);
    using Counts = std::tuple<bool, bool, std::size_t, std::size_t, std::size_t>;
    std::vector<Counts> counts;
    for (const basesim::HandleRecord &r : basesim::handleRecords())
        counts.emplace_back(r.open, r.alive, r.received, r.read, r.queued);
    EXPECT_EQ(counts, (std::vector<Counts>{
                          {false, false, 4, 3, 0}, {true, true, 4, 3, 1}, {true, true, 2, 1, 1}}));
    EXPECT_EQ(basesim::pendingInputReports(), 2u);
    hid_close(second);
    hid_close(late);
}

// Votes armed for the next empty poll arrive in the instant after a read that
// does not wait has found nothing, before it returns: at the handles open
// then, not at one opened afterwards; once, and not after a read that waits.
TEST_F(BaseSimTest, VotesArmedForAnEmptyPollReachTheHandlesOpenThen)
{
    hid_device *polled = openBase();
    ASSERT_NE(polled, nullptr);
    basesim::queueVotesAfterNextEmptyPoll({{0x00000a, 'C'}});
    Buffer buffer{};
    EXPECT_EQ(hid_read_timeout(polled, buffer.data(), buffer.size(), 1), 0);
    EXPECT_EQ(basesim::pendingInputReports(), 0u) << "a read that waits is no poll";

    EXPECT_EQ(hid_read_timeout(polled, buffer.data(), buffer.size(), 0), 0);
    hid_device *late = openBase();
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(hid_read_timeout(late, buffer.data(), buffer.size(), 0), 0);
    ASSERT_EQ(hid_read_timeout(polled, buffer.data(), buffer.size(), 0), 64);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 9),
              (Bytes{0x02, 0x30, 0x00, 0x05, 0x83, 0x00, 0x00, 0x0a, 0x00}));
    EXPECT_EQ(basesim::pendingInputReports(), 0u) << "sent once";
    hid_close(polled);
    hid_close(late);
}

// A handle holds at most handleQueueCapacity reports, as a hidraw file does:
// a report that finds its queue full is dropped for that handle only, and
// counted.
TEST_F(BaseSimTest, EachHandleKeepsABoundedQueueAndDropsWhatFindsItFull)
{
    hid_device *reading = openBase();
    hid_device *idle = openBase();
    const auto send = [](unsigned first, unsigned count) {
        for (unsigned i = first; i < first + count; ++i)
            basesim::queueInputReport({0x02, static_cast<unsigned char>(i)});
    };
    send(0, 60);
    Buffer buffer{};
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(hid_read_timeout(reading, buffer.data(), buffer.size(), 0), 64);
    send(60, 20); // the reading handle has room for 13 more, the idle one for 3

    Bytes expectedReading, expectedIdle;
    for (unsigned char i = 10; i < 73; ++i)
        expectedReading.push_back(i);
    for (unsigned char i = 0; i < 63; ++i)
        expectedIdle.push_back(i);
    EXPECT_EQ(commandsRead(reading), expectedReading);
    EXPECT_EQ(commandsRead(idle), expectedIdle);
    const std::vector<basesim::HandleRecord> records = basesim::handleRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].received, 73u);
    EXPECT_EQ(records[0].dropped, 7u);
    EXPECT_EQ(records[1].received, 63u);
    EXPECT_EQ(records[1].dropped, 17u);
    hid_close(reading);
    hid_close(idle);
}

// A read waiting on one handle holds up nothing on another: that handle
// writes, and reads the base's answer, while the first read still waits; the
// answer then reaches the waiting read too.
TEST_F(BaseSimTest, AReadWaitingOnOneHandleHoldsUpNoOther)
{
    hid_device *waiting = openBase();
    hid_device *other = openBase();
    ASSERT_NE(waiting, nullptr);
    ASSERT_NE(other, nullptr);
    std::atomic<int> result{0};
    Buffer got{};
    std::thread reader([&] { result = hid_read_timeout(waiting, got.data(), got.size(), 10000); });
    EXPECT_TRUE(basesim::waitForBlockedReads(1, std::chrono::seconds(10)));

    const Bytes start = {0x00, 0x01, 0x11};
    EXPECT_EQ(hid_write(other, start.data(), start.size()), 3);
    Buffer answer{};
    EXPECT_EQ(hid_read_timeout(other, answer.data(), answer.size(), 0), 64);
    EXPECT_EQ(answer[1], 0x11);
    reader.join();
    EXPECT_EQ(result, 64);
    EXPECT_EQ(got[1], 0x11);
    hid_close(waiting);
    hid_close(other);
}

using Calls = std::map<std::string, std::function<void()>>;
using CallPairs = std::vector<std::pair<std::string, std::string>>;

// Runs the two calls over and over, each on a thread of its own, until they
// meet inside the simulation (which then ends the program) or 20 s have
// passed.
void repeatOnTwoThreads(const std::function<void()> &first, const std::function<void()> &second)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const auto repeat = [&](const std::function<void()> &call) {
        while (std::chrono::steady_clock::now() < deadline)
            call();
    };
    std::thread other(repeat, second);
    repeat(first);
    other.join();
}

// The message names both functions, in either order, then the scope.
std::string meetingMessage(const std::pair<std::string, std::string> &pair, const char *where)
{
    return "(" + pair.first + ".*" + pair.second + "|" + pair.second + ".*" + pair.first + ")" +
           where + ".*two threads";
}

// hidapi's process-wide functions keep their state in globals without a
// lock: two threads inside them at once end the program, naming both.
TEST(BaseSimDeathTest, ProcessWideFunctionsFromTwoThreadsAtOnceAbort)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const Calls calls = {
        {"hid_init", [] { hid_init(); }},
        {"hid_exit", [] { hid_exit(); }},
        {"hid_enumerate",
         [] { hid_free_enumeration(hid_enumerate(basesim::vendorId, basesim::productId)); }},
        {"hid_open", [] { hid_close(hid_open(basesim::vendorId, basesim::productId, nullptr)); }},
        {"hid_open_path", [] { hid_close(hid_open_path("basesim:0")); }},
        {"hid_error", [] { hid_error(nullptr); }},
    };
    const CallPairs pairs = {
        {"hid_enumerate", "hid_enumerate"},
        {"hid_enumerate", "hid_open"},
        {"hid_open_path", "hid_init"},
        {"hid_exit", "hid_error"},
    };
    for (const auto &pair : pairs)
        EXPECT_DEATH(repeatOnTwoThreads(calls.at(pair.first), calls.at(pair.second)),
                     meetingMessage(pair, ""))
            << pair.first << " " << pair.second;
}

// hidraw replaces a handle's error text in every call on it without a lock:
// two threads inside calls on one handle at once end the program, naming
// both, whichever the calls.
TEST(BaseSimDeathTest, CallsOnOneHandleFromTwoThreadsAtOnceAbort)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    hid_device *device = nullptr; // opened in the process that is to end
    thread_local Buffer buffer{};
    wchar_t text[32];
    const Calls calls = {
        {"hid_read_timeout", [&] { hid_read_timeout(device, buffer.data(), 64, 1); }},
        {"hid_read", [&] { hid_read(device, buffer.data(), 64); }},
        {"hid_write", [&] { hid_write(device, buffer.data(), 64); }},
        {"hid_set_nonblocking", [&] { hid_set_nonblocking(device, 1); }},
        {"hid_error", [&] { hid_error(device); }},
        {"hid_get_product_string", [&] { hid_get_product_string(device, text, 32); }},
        {"hid_send_feature_report", [&] { hid_send_feature_report(device, buffer.data(), 64); }},
    };
    const CallPairs pairs = {
        {"hid_read_timeout", "hid_write"},
        {"hid_write", "hid_write"},
        {"hid_read", "hid_set_nonblocking"},
        {"hid_error", "hid_write"},
        {"hid_get_product_string", "hid_read_timeout"},
        {"hid_send_feature_report", "hid_read"},
    };
    for (const auto &pair : pairs) {
        const auto meet = [&] {
            device = hid_open(basesim::vendorId, basesim::productId, nullptr);
            hid_set_nonblocking(device, 1); // hid_read returns at once
            repeatOnTwoThreads(calls.at(pair.first), calls.at(pair.second));
        };
        EXPECT_DEATH(meet(), meetingMessage(pair, " on the same handle"))
            << pair.first << " " << pair.second;
    }
}

// A handle that hid_close has released is gone, as in hidapi: using it, or
// closing it while another thread is inside a call on it, ends the program.
TEST(BaseSimDeathTest, HandleUsedAfterOrDuringItsCloseAborts)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto writeAfterClose = [] {
        hid_device *device = hid_open(basesim::vendorId, basesim::productId, nullptr);
        hid_close(device);
        const Buffer report{};
        hid_write(device, report.data(), report.size());
    };
    EXPECT_DEATH(writeAfterClose(), "hid_write.*closed");
    const auto closeWhileReading = [] {
        hid_device *device = hid_open(basesim::vendorId, basesim::productId, nullptr);
        std::thread reader([device] {
            Buffer buffer{};
            hid_read_timeout(device, buffer.data(), buffer.size(), 10000);
        });
        basesim::waitForBlockedReads(1, std::chrono::seconds(10));
        hid_close(device);
        reader.join();
    };
    EXPECT_DEATH(closeWhileReading(), "hid_close.*hid_read_timeout");
}

TEST_F(BaseSimTest, RecordsWritesInOrderAndFailsTheChosenOne)
{
    hid_device *device = openBase();
    ASSERT_NE(device, nullptr);
    basesim::failWrite(2);
    for (unsigned char command = 1; command <= 3; ++command) {
        Buffer report{};
        report[2] = command;
        const int written = hid_write(device, report.data(), report.size());
        EXPECT_EQ(written, command == 2 ? -1 : 64) << int(command);
    }
    const std::vector<basesim::WrittenReport> reports = basesim::writtenReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].bytes[2], 1);
    EXPECT_EQ(reports[1].bytes[2], 3);
    EXPECT_LE(reports[0].time, reports[1].time);
    EXPECT_TRUE(basesim::waitForWrites(2, std::chrono::milliseconds(0)));
    EXPECT_FALSE(basesim::waitForWrites(3, std::chrono::milliseconds(10)));
    hid_close(device);
}

TEST_F(BaseSimTest, ReplugAfterTheChosenWriteKillsTheHandleButKeepsTheBaseListed)
{
    hid_device *device = openBase();
    ASSERT_NE(device, nullptr);
    basesim::replugAfterWrite(2);
    const Buffer report{};
    EXPECT_EQ(hid_write(device, report.data(), report.size()), 64);
    EXPECT_EQ(hid_write(device, report.data(), report.size()), 64);
    EXPECT_EQ(hid_write(device, report.data(), report.size()), -1);
    EXPECT_TRUE(basesim::isPlugged());
    hid_device *reopened = openBase();
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(hid_write(reopened, report.data(), report.size()), 64);
    EXPECT_EQ(basesim::writtenReports().size(), 3u);
    hid_close(reopened);
    hid_close(device);
}

TEST_F(BaseSimTest, AnswersVoteStartAndStopAndDeliversShortReads)
{
    hid_device *device = openBase();
    ASSERT_NE(device, nullptr);
    const Bytes start = {0x00, 0x01, 0x11}, stop = {0x00, 0x01, 0x12}, other = {0x00, 0x01, 0x13};
    for (const Bytes &report : {start, other, stop})
        ASSERT_EQ(hid_write(device, report.data(), report.size()), 3);
    EXPECT_EQ(basesim::pendingInputReports(), 2u);
    Buffer buffer{};
    EXPECT_EQ(hid_read_timeout(device, buffer.data(), 64, 0), 64);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 3), (Bytes{0x01, 0x11, 0x00}));
    buffer.fill(0xEE);
    EXPECT_EQ(hid_read_timeout(device, buffer.data(), 2, 0), 2);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 3), (Bytes{0x01, 0x12, 0xEE}));
    EXPECT_EQ(hid_read_timeout(device, buffer.data(), 64, 0), 0);
    hid_close(device);
}

TEST_F(BaseSimTest, QueuesVoteReportsWithRunningSequences)
{
    hid_device *device = openBase();
    ASSERT_NE(device, nullptr);
    ASSERT_TRUE(basesim::queueVotes({{0x0A0B0C, 'A'}, {0x123456, 'f'}}));
    EXPECT_FALSE(basesim::queueVotes({{0x000001, 'G'}}));
    ASSERT_TRUE(basesim::queueVotes({{0xFFFFFF, 'C'}}));
    Buffer buffer{};
    ASSERT_EQ(hid_read_timeout(device, buffer.data(), 64, 0), 64);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 15),
              (Bytes{0x02, 0x30, 0x00, 10, 0x81, 0x0A, 0x0B, 0x0C, 0x00, 0x86, 0x12, 0x34, 0x56,
                     0x01, 0x00}));
    ASSERT_EQ(hid_read_timeout(device, buffer.data(), 64, 0), 64);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 9),
              (Bytes{0x02, 0x30, 0x01, 5, 0x83, 0xFF, 0xFF, 0xFF, 0x02}));
    hid_close(device);
}

TEST_F(BaseSimTest, ManyVotesAreSplitOverSeveralReports)
{
    hid_device *device = openBase();
    std::vector<basesim::Vote> votes(25, basesim::Vote{0x000102, 'B'});
    ASSERT_TRUE(basesim::queueVotes(votes));
    EXPECT_EQ(basesim::pendingInputReports(), 3u);
    hid_close(device);
}

bool listed()
{
    hid_device_info *devices = hid_enumerate(basesim::vendorId, basesim::productId);
    hid_free_enumeration(devices);
    return devices != nullptr;
}

// A hidden base is absent from the enumeration and from hid_open until it is
// shown again; its open handles keep working, and its path still opens (no
// enumeration is involved).
TEST_F(BaseSimTest, HiddenBaseLeavesTheEnumerationButKeepsItsHandle)
{
    hid_device *device = openBase();
    basesim::hideFromEnumeration(basesim::untilShown);
    EXPECT_FALSE(listed());
    EXPECT_EQ(openBase(), nullptr);
    hid_device *byPath = hid_open_path("basesim:0");
    EXPECT_NE(byPath, nullptr);
    const Buffer report{};
    EXPECT_EQ(hid_write(device, report.data(), report.size()), 64);
    basesim::showInEnumeration();
    EXPECT_TRUE(listed());

    basesim::hideAfterNextOpen(basesim::untilShown);
    EXPECT_TRUE(listed());
    hid_close(openBase());
    EXPECT_FALSE(listed());
    basesim::showInEnumeration();
    EXPECT_TRUE(listed());
    hid_close(byPath);
    hid_close(device);
}

TEST_F(BaseSimTest, ControlCommands)
{
    struct Case
    {
        const char *command;
        const char *replyStart;
    };
    const std::vector<Case> cases = {
        {"status", "ok plugged"},
        {"unplug", "ok"},
        {"status", "ok unplugged"},
        {"vote 0a0b0c A", "ok"},
        {"status", "ok unplugged"},
        {"plug", "ok"},
        {"vote 0a0b0c A 112233 b", "ok"},
        {"report 01 11", "ok"},
        {"status", "ok plugged"},
        {"vote 0a0b0c Z", "error"},
        {"vote 0a0b0c", "error"},
        {"vote 1000000 A", "error"},
        {"vote -1 A", "error"},
        {"vote 0x1234 A", "error"},
        {"report 1ff", "error"},
        {"report -1", "error"},
        {"report +f", "error"},
        {"report", "error"},
        {"fail-write x", "error"},
        {"fail-write 1", "ok"},
        {"fail-read", "ok"},
        {"hide -1", "error"},
        {"hide 0", "ok"},
        {"show", "ok"},
        {"written", "ok 0"},
        {"", "error"},
        {"launch missiles", "error"},
    };
    hid_device *device = openBase();
    for (const Case &c : cases) {
        const std::string reply = basesim::executeCommand(c.command);
        EXPECT_EQ(reply.rfind(c.replyStart, 0), 0u) << c.command << " -> " << reply;
    }
    EXPECT_EQ(basesim::pendingInputReports(), 0u) << "the unplug ended the handle";
    hid_close(device);
    device = openBase();
    EXPECT_EQ(basesim::executeCommand("vote 0a0b0c A 112233 b"), "ok");
    EXPECT_EQ(basesim::executeCommand("report 01 11"), "ok");
    EXPECT_EQ(basesim::executeCommand("status"), "ok plugged open=1 written=0 pending=2");
    hid_close(device);
}

TEST_F(BaseSimTest, ControlChannelOverASocket)
{
    const std::string path = "/tmp/basesim-test-" + std::to_string(getpid()) + ".sock";
    ASSERT_TRUE(basesim::startControlChannel(path));
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);

    const std::string requests = "unplug\nstatus\nbogus\n";
    ASSERT_EQ(write(fd, requests.data(), requests.size()), static_cast<ssize_t>(requests.size()));
    std::string replies;
    char c = 0;
    while (std::count(replies.begin(), replies.end(), '\n') < 3 && read(fd, &c, 1) == 1)
        replies += c;
    close(fd);
    basesim::stopControlChannel();

    EXPECT_EQ(replies.rfind("ok\nok unplugged", 0), 0u) << replies;
    EXPECT_NE(replies.find("\nerror"), std::string::npos) << replies;
    EXPECT_FALSE(basesim::isPlugged());
    EXPECT_NE(access(path.c_str(), F_OK), 0) << "the socket file is removed";
}

} // namespace
