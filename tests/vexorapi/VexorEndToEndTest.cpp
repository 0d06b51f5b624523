// The library through its public interface only, against the simulated base.
#include "BaseEventLog.h"
#include "VoteRecorder.h"
#include "VoteReports.h"

#include <VexorAPI/IProtocol.h>
#include <VexorAPI/VexorAPI.h>

#include <basesim/BaseSim.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace vote_reports;
using Events = std::vector<std::string>;

constexpr auto patience = 20s;

struct FacadeDeleter
{
    void operator()(VexorAPI *api) const { delete api; }
};
using Facade = std::unique_ptr<VexorAPI, FacadeDeleter>;

unsigned remoteNumber(IVoteElement &vote)
{
    return static_cast<unsigned>(std::stoul(vote.getRemoteId(), nullptr, 16));
}

// Sends votes from a thread of its own, one report a millisecond (about the
// base's pace), to the remotes 0, 1, 2 ... in turn, until it is stopped.
class VoteFeeder
{
public:
    VoteFeeder() : thread([this] { feed(); }) {}
    ~VoteFeeder() { stop(); }

    // Answers the number of remotes sent to.
    unsigned stop()
    {
        feeding = false;
        if (thread.joinable())
            thread.join();
        return nextRemote;
    }

private:
    void feed()
    {
        while (feeding) {
            basesim::queueVotes({{nextRemote++, 'B'}});
            std::this_thread::sleep_for(1ms);
        }
    }

    std::atomic<bool> feeding{true};
    std::atomic<unsigned> nextRemote{0};
    std::thread thread;
};

class VexorEndToEndTest : public ::testing::Test
{
protected:
    void SetUp() override { basesim::reset(false); }

    Facade makeFacade()
    {
        Facade api(static_cast<VexorAPI *>(getConcreteIVexorAPI(&baseEvents, &recorder)));
        api->setReportTrace(nullptr);
        return api;
    }

    // Plugs the base and waits until the library has opened it for the
    // times-th time.
    void plugAndWaitReady(int times)
    {
        basesim::plug();
        ASSERT_TRUE(baseEvents.waitFor(BaseEventLog::baseReady, times, patience))
            << "no base " << baseEvents[BaseEventLog::noBase] << ", found "
            << baseEvents[BaseEventLog::baseFound] << ", opening "
            << baseEvents[BaseEventLog::openingBase] << ", ready "
            << baseEvents[BaseEventLog::baseReady] << ", lost "
            << baseEvents[BaseEventLog::baseLost];
    }

    // Unplugs the base and waits until the connection loop has searched for
    // it in vain: an unplugging that outlasts the loop's presence check.
    void unplugAndWaitNoBase()
    {
        const int searches = baseEvents[BaseEventLog::noBase];
        basesim::unplug();
        ASSERT_TRUE(baseEvents.waitFor(BaseEventLog::noBase, searches + 1, patience));
    }

    void startVote(VexorAPI &api, int times)
    {
        ASSERT_TRUE(api.protocol->startVote(1));
        ASSERT_TRUE(recorder.waitForEvent("state 2", times, patience));
    }

    // Starts the times-th vote and waits until a vote of remote arrives.
    void voteFlows(VexorAPI &api, int times, unsigned remote)
    {
        ASSERT_NO_FATAL_FAILURE(startVote(api, times));
        const std::size_t before = recorder.voteCount();
        basesim::queueVotes({{remote, 'B'}});
        ASSERT_TRUE(recorder.waitForVotes(before + 1, patience));
        EXPECT_EQ(remoteNumber(*recorder.votes().back()), remote);
    }

    // Waits until the connection loop has checked for the base checks more
    // times: long enough for anything that it would do meanwhile.
    static void waitForPresenceChecks(int checks)
    {
        ASSERT_TRUE(basesim::waitForEnumerations(basesim::enumerations() + checks, patience));
    }

    BaseEventLog baseEvents;
    VoteRecorder recorder;
};

TEST_F(VexorEndToEndTest, FacadeLifecycleWithoutRunning)
{
    delete new VexorAPI();

    Facade neverRun = makeFacade();
    EXPECT_NE(neverRun->protocol, nullptr);
    EXPECT_NE(neverRun->connectBase, nullptr);
    neverRun.reset();

    Facade stoppedEarly = makeFacade();
    stoppedEarly->stop();
    stoppedEarly->stop();
    EXPECT_EQ(basesim::enumerations(), 0); // nothing ran
}

TEST_F(VexorEndToEndTest, OpeningSequenceVotesAndReconnection)
{
    Facade api = makeFacade();
    api->run();
    api->run(); // already running: starts nothing
    ASSERT_TRUE(baseEvents.waitFor(BaseEventLog::noBase, 1, patience));
    plugAndWaitReady(1);

    // Frequencies, stop vote, two display lines, command 45; the base's
    // answer to the stop reaches the client.
    std::vector<int> commands;
    for (const basesim::WrittenReport &report : basesim::writtenReports()) {
        ASSERT_EQ(report.bytes.size(), 64u);
        EXPECT_EQ(report.bytes[0], 0x00);
        EXPECT_EQ(report.bytes[1], 0x01);
        commands.push_back(report.bytes[2]);
    }
    EXPECT_EQ(commands, std::vector<int>({16, 18, 19, 20, 45}));
    ASSERT_TRUE(recorder.waitForEvent("state 3", 1, patience));

    startVote(*api, 1);
    basesim::queueInputReport(voteReport(1, {0x84, 0x12, 0x34, 0x56, 0x01,             // D
                                             0x86, 0x0A, 0xB0, 0x01, 0x02,             // F
                                             0x87, 0x00, 0x00, 0x07, 0x34, 0x56, 0x78, // numeric
                                             0x9A, 0x07, 0x03}));
    basesim::queueInputReport(voteReport(1, choice(0x81, 9, 9))); // repeated report: ignored
    basesim::queueInputReport(voteReport(
        2, {0x88, 0, 0, 1, 3, 4, 0xA3, 1, 1, 1, 1, 1, 0x04, 0x8B, 0, 0,    2,
            3,    3, 3, 3, 3, 3, 3,    3, 3, 3, 3, 3, 3,    3,    3, 0x22, 0x06})); // record gap
    basesim::queueInputReport(voteReport(5, choice(0x81, 7, 3)));                   // report gap
    ASSERT_TRUE(recorder.waitForVotes(6, patience));

    const std::string fiveSpaces(5, ' ');
    EXPECT_EQ(recorder.events(),
              Events({"state 3", "state 2", "vote 11 D 123456 1", "vote 86 F 0ab001 2",
                      "vote 87 1234.5678 000007 3", "vote 88 AB.1" + fiveSpaces + " 000001 4",
                      "record gap", "vote 8b AAAAAAAAAAAAAAA0 000002 6", "report gap",
                      "vote 11 A 000003 7"}));

    unplugAndWaitNoBase();
    EXPECT_GE(baseEvents[BaseEventLog::baseLost], 1);
    basesim::queueInputReport(voteReport(6, choice(0x81, 8, 4))); // nobody to send it
    plugAndWaitReady(2);
    startVote(*api, 2);
    basesim::queueInputReport(voteReport(6, choice(0x81, 8, 5)));
    ASSERT_TRUE(recorder.waitForVotes(7, patience));
    EXPECT_EQ(recorder.events().back(), "vote 11 A 000005 8");

    api->stop();
    api->stop();
    EXPECT_EQ(recorder.voteCount(), 7u);
}

// The handles that have been read from.
std::vector<basesim::HandleRecord> readHandles()
{
    std::vector<basesim::HandleRecord> read;
    for (const basesim::HandleRecord &handle : basesim::handleRecords())
        if (handle.read > 0)
            read.push_back(handle);
    return read;
}

// A burst of reports that the base hands over at its own pace, one a
// millisecond, reaches the client whole: the reader keeps up, so its handle's
// queue (63 reports, as hidraw's) never overflows, and every record arrives
// once and in order.
TEST_F(VexorEndToEndTest, ABurstAtTheBasesPaceArrivesWholeAndInOrder)
{
    constexpr unsigned reports = 2000;
    Facade api = makeFacade();
    api->run();
    plugAndWaitReady(1);
    startVote(*api, 1);

    for (unsigned i = 0; i < reports; ++i)
        basesim::queueInputReport(voteReport(static_cast<unsigned char>(i),
                                             choice(0x81, static_cast<unsigned char>(i), i)));
    ASSERT_TRUE(recorder.waitForVotes(reports, 60s));
    api->stop();

    const auto votes = recorder.votes();
    ASSERT_EQ(votes.size(), reports);
    for (unsigned i = 0; i < reports; ++i)
        ASSERT_EQ(remoteNumber(*votes[i]), i);
    const Events events = recorder.events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "record gap"), 0);
    EXPECT_EQ(std::count(events.begin(), events.end(), "report gap"), 0);
    const auto read = readHandles();
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].dropped, 0u);
}

// A client whose first onBaseReady has the base send a burst of votes, one a
// remote, and returns once the base has handed it all over. The reader only
// reads once onBaseReady has returned, so its handle fills up meanwhile.
class BurstBeforeReading : public BaseEventLog
{
public:
    explicit BurstBeforeReading(unsigned burst_) : burst(burst_) {}

    void onBaseReady() override
    {
        if ((*this)[baseReady] == 0) {
            for (unsigned remote = 0; remote < burst; ++remote)
                basesim::queueVotes({{remote, 'B'}});
            handedOver = basesim::waitForHandOver(patience);
        }
        BaseEventLog::onBaseReady();
    }

    const unsigned burst;
    std::atomic<bool> handedOver{false};
};

// Reports that find the reader's handle full are dropped, as hidraw drops
// them, and the client is told of the gap before the next vote.
TEST_F(VexorEndToEndTest, ReportsDroppedByAFullHandleAreReportedAsAGap)
{
    constexpr unsigned burst = 100;
    BurstBeforeReading events(burst);
    Facade api(static_cast<VexorAPI *>(getConcreteIVexorAPI(&events, &recorder)));
    api->setReportTrace(nullptr);
    api->run();
    basesim::plug();
    ASSERT_TRUE(events.waitFor(BaseEventLog::baseReady, 1, patience));
    ASSERT_TRUE(events.handedOver);
    // The handle held the base's answer to the opening's stop vote and the
    // first 62 votes; the other 38 found it full. Once the reader has taken
    // them, the next vote has room.
    constexpr unsigned kept = 62;
    ASSERT_TRUE(recorder.waitForVotes(kept, patience));
    basesim::queueVotes({{burst, 'B'}});
    ASSERT_TRUE(recorder.waitForLastVote(
        [&](IVoteElement &vote) { return remoteNumber(vote) == burst; }, patience));
    api->stop();

    Events expected{"state 3"};
    char line[40];
    for (unsigned remote = 0; remote < kept; ++remote) {
        std::snprintf(line, sizeof line, "vote 11 B %06x %x", remote, remote);
        expected.push_back(line);
    }
    std::snprintf(line, sizeof line, "vote 11 B %06x %x", burst, burst);
    expected.insert(expected.end(), {"report gap", "record gap", line});
    EXPECT_EQ(recorder.events(), expected);
    const auto read = readHandles();
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].dropped, burst - kept);
}

TEST_F(VexorEndToEndTest, RepeatedRunAndStop)
{
    basesim::reset(true);
    Facade api = makeFacade();
    for (int cycle = 0; cycle < 100; ++cycle) {
        api->run();
        api->stop();
    }
    // A few cycles that stop a reader that has read the base's answer to
    // the opening's stop vote.
    for (int cycle = 1; cycle <= 3; ++cycle) {
        api->run();
        ASSERT_TRUE(baseEvents.waitFor(BaseEventLog::baseReady, cycle, patience));
        ASSERT_TRUE(recorder.waitForEvent("state 3", cycle, patience));
        api->stop();
    }
    // The reader took everything that reached its handle (the write handle's
    // queue is never read).
    int openReadHandles = 0;
    for (const basesim::HandleRecord &handle : readHandles()) {
        openReadHandles += handle.open;
        EXPECT_EQ(handle.queued, 0u);
    }
    EXPECT_EQ(openReadHandles, 1);
}

// A read that fails while the base stays attached: the library opens the base
// again without it ever leaving the enumeration, and votes flow as before.
TEST_F(VexorEndToEndTest, VotesFlowAgainAfterAFailedReadWhileTheBaseStaysAttached)
{
    Facade api = makeFacade();
    api->run();
    ASSERT_NO_FATAL_FAILURE(plugAndWaitReady(1));
    for (int opening = 1; opening <= 3; ++opening) {
        ASSERT_NO_FATAL_FAILURE(startVote(*api, opening));
        basesim::queueVotes({{static_cast<unsigned>(opening), 'C'}});
        ASSERT_TRUE(recorder.waitForVotes(opening, patience));

        const int searches = baseEvents[BaseEventLog::noBase];
        const int losses = baseEvents[BaseEventLog::baseLost];
        basesim::failNextRead();
        ASSERT_TRUE(baseEvents.waitFor(BaseEventLog::baseReady, opening + 1, patience));
        EXPECT_EQ(baseEvents[BaseEventLog::noBase], searches) << "the base never went away";
        EXPECT_GE(baseEvents[BaseEventLog::baseLost], losses + 1);
    }
    ASSERT_NO_FATAL_FAILURE(startVote(*api, 4));
    basesim::queueVotes({{4, 'D'}});
    ASSERT_TRUE(recorder.waitForVotes(4, patience));
    api->stop();

    const auto votes = recorder.votes();
    ASSERT_EQ(votes.size(), 4u);
    for (unsigned i = 0; i < votes.size(); ++i)
        EXPECT_EQ(remoteNumber(*votes[i]), i + 1);
    EXPECT_EQ(basesim::openHandles(), 2) << "one opening: a handle that reads, one that writes";
}

// Notes whether an opening's events come on the client's thread.
class OpeningThreads : public BaseEventLog
{
public:
    void onOpeningBase() override
    {
        noteThread();
        BaseEventLog::onOpeningBase();
    }
    void onBaseReady() override
    {
        noteThread();
        BaseEventLog::onBaseReady();
    }

    const std::thread::id clientThread = std::this_thread::get_id();
    std::atomic<bool> onClientThread{false};

private:
    void noteThread()
    {
        if (std::this_thread::get_id() == clientThread)
            onClientThread = true;
    }
};

// A client's openBase() hands the opening to the connection thread and waits
// for it: its callbacks never run on the client's thread, it never runs beside
// the opening that a plug-in starts at the same moment, and it returns with
// the base ready.
TEST_F(VexorEndToEndTest, ClientOpeningRunsOnTheConnectionThreadAlone)
{
    OpeningThreads events;
    Facade api(static_cast<VexorAPI *>(getConcreteIVexorAPI(&events, &recorder)));
    api->setReportTrace(nullptr);
    api->run();
    ASSERT_TRUE(events.waitFor(BaseEventLog::noBase, 1, patience));
    constexpr int rounds = 5;
    for (int round = 1; round <= rounds; ++round) {
        basesim::plug();
        ASSERT_TRUE(api->protocol->openBase()) << round;
        EXPECT_GE(events[BaseEventLog::baseReady], round);
        const int searches = events[BaseEventLog::noBase];
        basesim::unplug();
        ASSERT_TRUE(events.waitFor(BaseEventLog::noBase, searches + 1, patience));
    }
    api->stop();

    EXPECT_FALSE(events.onClientThread);
    std::vector<int> commands;
    for (const basesim::WrittenReport &report : basesim::writtenReports())
        commands.push_back(report.bytes[2]);
    ASSERT_EQ(commands.size() % 5, 0u);
    for (std::size_t i = 0; i < commands.size(); ++i)
        EXPECT_EQ(commands[i], (std::vector<int>{16, 18, 19, 20, 45}[i % 5])) << i;
}

// A close that the client asks for is no loss: no event, and the base stays
// closed, through presence checks enough for several reopenings, until the
// client opens it again or it is replugged. Each opening sets the base back
// to its start: its stop vote reaches the client as voteStateChanged(3).
TEST_F(VexorEndToEndTest, ClosedBaseStaysClosedUntilTheClientOpensItOrItIsReplugged)
{
    Facade api = makeFacade();
    api->run();
    ASSERT_NO_FATAL_FAILURE(plugAndWaitReady(1));
    ASSERT_NO_FATAL_FAILURE(voteFlows(*api, 1, 1));

    const int losses = baseEvents[BaseEventLog::baseLost];
    basesim::clearWrittenReports();
    ASSERT_TRUE(api->protocol->closeBase());
    ASSERT_NO_FATAL_FAILURE(waitForPresenceChecks(20));
    EXPECT_EQ(baseEvents[BaseEventLog::baseLost], losses);
    EXPECT_EQ(baseEvents[BaseEventLog::openingBase], 1);
    EXPECT_TRUE(basesim::writtenReports().empty());
    EXPECT_EQ(basesim::openHandles(), 0);

    ASSERT_TRUE(api->protocol->openBase());
    EXPECT_EQ(baseEvents[BaseEventLog::openingBase], 2);
    EXPECT_EQ(baseEvents[BaseEventLog::baseReady], 2);
    EXPECT_EQ(basesim::writtenReports().front().bytes[2], 0x10) << "frequencies first";
    ASSERT_TRUE(recorder.waitForEvent("state 3", 2, patience));
    ASSERT_NO_FATAL_FAILURE(voteFlows(*api, 2, 2));

    ASSERT_TRUE(api->protocol->closeBase());
    ASSERT_NO_FATAL_FAILURE(unplugAndWaitNoBase());
    ASSERT_NO_FATAL_FAILURE(plugAndWaitReady(3));
    ASSERT_NO_FATAL_FAILURE(voteFlows(*api, 3, 3));
    EXPECT_EQ(baseEvents[BaseEventLog::openingBase], 3);
    api->stop();
}

// A failed opening is tried again while the base stays listed: a write fault
// during the opening, and a replug during the opening (after its first
// report), each end in a ready base with votes flowing.
TEST_F(VexorEndToEndTest, FailedOpeningIsRetriedUntilVotesFlow)
{
    Facade api = makeFacade();
    api->run();
    ASSERT_TRUE(baseEvents.waitFor(BaseEventLog::noBase, 1, patience));
    basesim::failWrite(2); // the opening's stop vote
    ASSERT_NO_FATAL_FAILURE(plugAndWaitReady(1));
    EXPECT_EQ(baseEvents[BaseEventLog::openingBase], 2);
    ASSERT_NO_FATAL_FAILURE(voteFlows(*api, 1, 1));

    ASSERT_NO_FATAL_FAILURE(unplugAndWaitNoBase());
    basesim::replugAfterWrite(1); // right after the opening's frequencies
    ASSERT_NO_FATAL_FAILURE(plugAndWaitReady(2));
    EXPECT_EQ(baseEvents[BaseEventLog::openingBase], 4);
    ASSERT_NO_FATAL_FAILURE(voteFlows(*api, 2, 2));
    api->stop();
}

// Unplugged and plugged in again at once, well within the 100 ms between two
// presence checks: the loop's enumeration (almost surely) never misses the
// base, yet the library opens the new attachment and its votes reach the
// client.
TEST_F(VexorEndToEndTest, VotesFlowAfterAReplugFasterThanThePresenceCheck)
{
    Facade api = makeFacade();
    api->run();
    ASSERT_NO_FATAL_FAILURE(plugAndWaitReady(1));
    for (int opening = 1; opening <= 3; ++opening) {
        const int losses = baseEvents[BaseEventLog::baseLost];
        basesim::unplug();
        basesim::plug();
        ASSERT_TRUE(baseEvents.waitFor(BaseEventLog::baseReady, opening + 1, patience));
        EXPECT_GE(baseEvents[BaseEventLog::baseLost], losses + 1);
        ASSERT_NO_FATAL_FAILURE(startVote(*api, opening));
        basesim::queueVotes({{static_cast<unsigned>(opening), 'E'}});
        ASSERT_TRUE(recorder.waitForVotes(opening, patience));
        EXPECT_EQ(remoteNumber(*recorder.votes().back()), static_cast<unsigned>(opening));
    }
    api->stop();
    EXPECT_EQ(recorder.voteCount(), 3u);
}

// The remote of a vote line of the recorder ("vote 11 B 00002a 5"), or -1.
long remoteOfLine(const std::string &line)
{
    std::istringstream words(line);
    std::string word, type, answer, remote;
    if (!(words >> word >> type >> answer >> remote) || word != "vote")
        return -1;
    return std::stol(remote, nullptr, 16);
}

// The base is opened again: by the client's openBase() while the reader waits
// for a report (on the handles it reads), and on new handles after failed
// reads, while votes keep coming. No report is delivered twice, and every
// report that is lost is reported as a gap before the next vote.
TEST_F(VexorEndToEndTest, ReopeningsNeitherRepeatNorSilentlyLoseReports)
{
    constexpr int rounds = 10;
    Facade api = makeFacade();
    api->run();
    plugAndWaitReady(1);
    unsigned nextRemote = 1;
    for (int round = 1; round <= rounds; ++round) {
        const int openings = baseEvents[BaseEventLog::baseReady];
        if (round % 2) {
            ASSERT_TRUE(basesim::waitForBlockedReads(1, patience));
            EXPECT_TRUE(api->protocol->openBase());
        } else {
            basesim::failNextRead();
        }
        // Votes keep coming, about one a millisecond, until the base is open
        // again.
        for (int sent = 0; !baseEvents.waitFor(BaseEventLog::baseReady, openings + 1, 1ms);
             ++sent) {
            ASSERT_LT(sent, 20000);
            basesim::queueVotes({{nextRemote++, 'B'}});
        }
        // What the base still holds (it hands over one report a millisecond,
        // about the rate of the votes) reaches this opening's handle before
        // the next round reopens the base, the answer to its stop vote
        // included.
        ASSERT_TRUE(basesim::waitForHandOver(patience));
    }
    basesim::queueVotes({{nextRemote, 'B'}});
    ASSERT_TRUE(recorder.waitForLastVote(
        [&](IVoteElement &vote) { return remoteNumber(vote) == nextRemote; }, patience));
    api->stop();

    const Events events = recorder.events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "state 3"),
              baseEvents[BaseEventLog::baseReady]);
    long previous = -1;
    bool gap = false;
    for (const std::string &line : events) {
        gap = gap || line == "report gap";
        const long remote = remoteOfLine(line);
        if (remote < 0)
            continue;
        if (previous >= 0) {
            ASSERT_GT(remote, previous) << "delivered twice or out of order";
            EXPECT_EQ(gap, remote != previous + 1) << "after remote " << previous;
        }
        previous = remote;
        gap = false;
    }
}

// A client's openBase() while votes flow: every report reaches the client
// once and none goes missing, whatever the instant it arrives in. The base
// also sends a vote in the instant after a read that does not wait has found
// the reader's handle empty. The opening's stop vote is answered, and that
// answer delivered, once per opening.
TEST_F(VexorEndToEndTest, ClientOpeningWhileVotesFlowLosesAndRepeatsNothing)
{
    constexpr int openings = 5;
    constexpr unsigned polledRemotes = 0x800000;
    Facade api = makeFacade();
    api->run();
    ASSERT_NO_FATAL_FAILURE(plugAndWaitReady(1));
    VoteFeeder feeder;
    for (int opening = 1; opening <= openings; ++opening) {
        ASSERT_TRUE(recorder.waitForVotes(recorder.voteCount() + 1, patience));
        basesim::queueVotesAfterNextEmptyPoll({{polledRemotes + opening, 'C'}});
        ASSERT_TRUE(api->protocol->openBase()) << opening;
    }
    const unsigned fed = feeder.stop();
    basesim::queueVotes({{fed, 'B'}});
    ASSERT_TRUE(recorder.waitForLastVote(
        [&](IVoteElement &vote) { return remoteNumber(vote) == fed; }, patience));
    api->stop();

    const Events events = recorder.events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "report gap"), 0);
    EXPECT_EQ(std::count(events.begin(), events.end(), "record gap"), 0);
    EXPECT_EQ(std::count(events.begin(), events.end(), "state 3"), openings + 1);
    std::set<unsigned> fedRemotes;
    for (const auto &vote : recorder.votes()) {
        const unsigned remote = remoteNumber(*vote);
        if (remote < polledRemotes) {
            ASSERT_TRUE(fedRemotes.insert(remote).second) << "twice: " << remote;
        }
    }
    EXPECT_EQ(fedRemotes.size(), fed + 1);
}

// Votes keep coming while the base is plugged and unplugged again and again:
// whatever arrives, arrives once and in order, and votes flow after every
// reconnection. Every other unplugging lasts until the connection loop has
// searched for the base in vain; the others are replugged as soon as the loss
// is reported, mostly before the loop's next presence check.
TEST_F(VexorEndToEndTest, PlugAndUnplugWithVotesFlowing)
{
    constexpr int cycles = 50;
    Facade api = makeFacade();
    api->run();

    VoteFeeder feeder;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        plugAndWaitReady(cycle);
        ASSERT_TRUE(recorder.waitForVotes(recorder.voteCount() + 1, patience));
        if (cycle % 2 == 0) {
            unplugAndWaitNoBase();
            ASSERT_GE(baseEvents[BaseEventLog::baseLost], cycle);
        } else {
            const int losses = baseEvents[BaseEventLog::baseLost];
            basesim::unplug();
            ASSERT_TRUE(baseEvents.waitFor(BaseEventLog::baseLost, losses + 1, patience));
        }
    }
    feeder.stop();
    api->stop();

    const auto votes = recorder.votes();
    ASSERT_GE(votes.size(), static_cast<std::size_t>(cycles));
    for (std::size_t i = 1; i < votes.size(); ++i)
        ASSERT_LT(remoteNumber(*votes[i - 1]), remoteNumber(*votes[i])) << "vote " << i;
}

} // namespace
