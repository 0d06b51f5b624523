// Every operation that a client can reach, called from inside every callback
// of the library by a client that swallows every exception: no call may
// deadlock, and stop() returns promptly afterwards. Through the shared library's exported interface
// only, against the simulated base.
#include "VoteReports.h"

#include <VexorAPI/IBaseManagementEvents.h>
#include <VexorAPI/IConnectBase.h>
#include <VexorAPI/IProtocol.h>
#include <VexorAPI/IVoteSessionMutators.h>
#include <VexorAPI/VexorAPI.h>
#include <VexorAPI/VoteElement.h>

#include <basesim/BaseSim.h>

#include <boost/thread/thread.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using namespace vote_reports;
using Names = std::set<std::string>;

// Every callback of the library, by the name the client below logs it under.
const Names allCallbacks = {"noBase",    "baseFound",   "openingBase", "baseReady",
                            "baseLost",  "voteStarted", "voteStopped", "addVote",
                            "recordGap", "reportGap",   "create"};
const Names baseEvents = {"noBase", "baseFound", "openingBase", "baseReady", "baseLost"};

// Far longer than stop() takes (it waits for one read time-out at most).
constexpr auto promptly = 10s;
// How long the scenario waits for a callback before it moves on: one that the
// operation under test lets come, and one that it may keep away. When it comes
// at all, it comes within a few of the library's intervals (ShortTiming.cpp).
constexpr auto stepPatience = 5s;
constexpr auto briefPatience = 500ms;

// Runs body on its own thread; aborts the program if it has not returned in
// time, since a deadlocked stop() can be neither failed nor unwound.
void returnsWithin(std::chrono::seconds limit, const std::function<void()> &body, const char *what)
{
    std::packaged_task<void()> task(body);
    std::future<void> done = task.get_future();
    std::thread runner(std::move(task));
    if (done.wait_for(limit) != std::future_status::ready) {
        std::fprintf(stderr, "%s has not returned after %lld s: deadlock\n", what,
                     static_cast<long long>(limit.count()));
        std::abort();
    }
    runner.join();
    done.get();
}

class ReentrantClient;

// The client's record class: its create() is a callback as well.
class ReentrantVote : public VoteElement
{
public:
    explicit ReentrantVote(ReentrantClient *client_) : client(client_) {}
    IVoteElement *create(boost::posix_time::ptime stamp, std::string remote, std::string text,
                         unsigned char voteType, unsigned char recordSequence) override;

private:
    ReentrantClient *client;
};

// A client that, in the first call of each callback on each thread, calls
// the operation under test on the facade, and logs every callback.
class ReentrantClient : public IBaseManagementEvents, public IVoteSessionMutators
{
public:
    ReentrantClient() : IVoteSessionMutators(0, 0, &prototype) {}

    void onNoBase() override { callback("noBase"); }
    void onBaseFound() override { callback("baseFound"); }
    void onOpeningBase() override { callback("openingBase"); }
    void onBaseReady() override { callback("baseReady"); }
    void onBaseLost() override { callback("baseLost"); }
    void addVote(IVoteElement *vote) override
    {
        delete vote;
        callback("addVote");
    }
    void voteStateChanged(int state) override
    {
        callback(state == 2 ? "voteStarted" : "voteStopped");
    }
    void recordSequenceGap() override { callback("recordGap"); }
    void reportSequenceGap() override { callback("reportGap"); }

    void callback(const std::string &name)
    {
        bool first = false;
        {
            std::lock_guard<std::mutex> guard(mutex);
            ++counts[name];
            first = calledOn.insert(name + " " + threadName()).second && operation &&
                    (!onlyFrom || *onlyFrom == name);
            if (first)
                calledFrom.insert(name);
            changed.notify_all();
        }
        if (first)
            callGuarded();
        std::lock_guard<std::mutex> guard(mutex);
        ++counts[name + " returned"];
        changed.notify_all();
    }

    // Waits until name has been logged times times; false after the
    // patience for that callback, or at once after giveUp().
    bool waitFor(const std::string &name, int times = 1)
    {
        const std::string callback = name.substr(0, name.find(' '));
        return waitFor(name, times, expected.count(callback) ? stepPatience : briefPatience);
    }

    bool waitFor(const std::string &name, int times, std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> guard(mutex);
        changed.wait_for(guard, limit, [&] { return counts[name] >= times || givenUp; });
        return counts[name] >= times;
    }

    // Nothing more is to come: the library was stopped.
    void giveUp()
    {
        std::lock_guard<std::mutex> guard(mutex);
        givenUp = true;
        changed.notify_all();
    }

    int count(const std::string &name)
    {
        std::lock_guard<std::mutex> guard(mutex);
        return counts[name];
    }

    Names callbacksThatCalled()
    {
        std::lock_guard<std::mutex> guard(mutex);
        return calledFrom;
    }

    VexorAPI *api = nullptr;
    std::function<void(VexorAPI &)> operation;
    // The callbacks that the operation lets come.
    Names expected = allCallbacks;
    // Calls the operation from this callback only (all when empty).
    const std::string *onlyFrom = nullptr;

private:
    // Keeps every exception off the library's thread, as clients do: also
    // the interruption that ends a library pause when the library stops.
    void callGuarded()
    {
        try {
            operation(*api);
        } catch (...) {
        }
    }

    static std::string threadName()
    {
        char name[32];
        std::snprintf(name, sizeof name, "%zu",
                      std::hash<std::thread::id>()(std::this_thread::get_id()));
        return name;
    }

    ReentrantVote prototype{this};
    std::mutex mutex; // protects counts, calledOn, calledFrom and givenUp
    std::condition_variable changed;
    std::map<std::string, int> counts;
    bool givenUp = false;
    Names calledOn;
    Names calledFrom;
};

IVoteElement *ReentrantVote::create(boost::posix_time::ptime stamp, std::string remote,
                                    std::string text, unsigned char voteType,
                                    unsigned char recordSequence)
{
    client->callback("create");
    return new VoteElement(stamp, remote, text, voteType, recordSequence);
}

struct Operation
{
    const char *name;
    std::function<void(VexorAPI &)> call;
    // The callbacks that the scenario reaches whatever the operation does to
    // the library's course: fewer for operations that close the base, read
    // its reports, start a vote (which restarts the sequence tracking that
    // the gaps need) or run a connection loop for ever.
    Names reached;
};

void PrintTo(const Operation &operation, std::ostream *out)
{
    *out << operation.name;
}

const Operation operations[] = {
    {"findBase", [](VexorAPI &api) { api.protocol->findBase(); }, allCallbacks},
    {"openBase", [](VexorAPI &api) { api.protocol->openBase(); }, allCallbacks},
    {"closeBase", [](VexorAPI &api) { api.protocol->closeBase(); }, baseEvents},
    {"sendCommand24", [](VexorAPI &api) { api.protocol->sendCommand24(); }, allCallbacks},
    {"baseIsAttached", [](VexorAPI &api) { api.protocol->baseIsAttached(); }, allCallbacks},
    {"waitForBase", [](VexorAPI &api) { api.protocol->waitForBase(); }, allCallbacks},
    {"readReport",
     [](VexorAPI &api) {
         unsigned char buffer[64] = {};
         api.protocol->readReport(buffer, 64, 10);
     },
     baseEvents},
    {"setFrequencies", [](VexorAPI &api) { api.protocol->setFrequencies('B', 'C', true); },
     allCallbacks},
    {"startVote", [](VexorAPI &api) { api.protocol->startVote(1); }, baseEvents},
    {"stopVote", [](VexorAPI &api) { api.protocol->stopVote(); }, allCallbacks},
    {"setDisplayLine", [](VexorAPI &api) { api.protocol->setDisplayLine("Question 1", 1); },
     allCallbacks},
    {"connectLoop", [](VexorAPI &api) { api.connectBase->connectLoop(); }, baseEvents},
    {"connectOnce", [](VexorAPI &api) { api.connectBase->connectOnce(); }, allCallbacks},
    {"waitForABase", [](VexorAPI &api) { api.connectBase->waitForABase(); }, allCallbacks},
    {"waitForOpenBase", [](VexorAPI &api) { api.connectBase->waitForOpenBase(); }, allCallbacks},
    // Blocks while the base is attached, in the opening's callbacks as well.
    {"baseIsPresent",
     [](VexorAPI &api) { api.connectBase->baseIsPresent(); },
     {"noBase", "baseFound", "openingBase", "baseLost"}},
    {"testBaseIsPresent", [](VexorAPI &api) { api.connectBase->testBaseIsPresent(); },
     allCallbacks},
    {"run", [](VexorAPI &api) { api.run(); }, allCallbacks},
    {"setReportTrace", [](VexorAPI &api) { api.setReportTrace(nullptr); }, allCallbacks},
};

class CallsFromCallbacksTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        basesim::reset(false);
        // The base's answers go out the moment a command arrives: an opening
        // run from inside a callback replaces the handle at any moment, and
        // an answer the base still held then would reach neither handle.
        basesim::setReportInterval(basesim::Microseconds(0));
        api = static_cast<VexorAPI *>(getConcreteIVexorAPI(&client, &client));
        api->setReportTrace(nullptr);
        client.api = api;
    }

    void TearDown() override
    {
        if (opener.joinable()) {
            opener.interrupt();
            opener.join();
        }
        delete api;
    }

    // Leads the library through every callback: no base, a base found, opened
    // and ready, a vote started, votes with a record gap and a report gap, the
    // vote stopped, the base unplugged. Each step waits a while for its
    // callback and moves on without it.
    void driveThroughEveryCallback()
    {
        api->run();
        client.waitFor("noBase");
        // The first noBase runs the operation with no base attached. Where the
        // operation returns, the base is plugged only after it has: plugged
        // meanwhile, it would change what the operation sees (baseIsPresent
        // would then block in noBase for as long as the base stays). An
        // operation that waits for a base gets it after the step's patience.
        client.waitFor("noBase returned");
        basesim::plug();
        if (!client.waitFor("baseReady", 1, briefPatience)) {
            // An operation kept the library from opening the base: the client
            // opens it, on a thread of its own, since the operation may block
            // in the callbacks of that opening too.
            opener = boost::thread([this] {
                for (int attempt = 0; attempt < 2 && client.count("baseReady") == 0; ++attempt)
                    api->protocol->openBase();
            });
            client.waitFor("baseReady");
        }
        // Votes are read once onBaseReady() has returned; an opening that an
        // operation runs from inside it replaces the handle before that.
        client.waitFor("baseReady returned");
        api->protocol->startVote(1);
        // Reports sent while the operation reopens the base from inside a
        // callback may reach neither handle.
        if (client.waitFor("voteStarted") && client.waitFor("voteStarted returned")) {
            basesim::queueInputReport(voteReport(1, choice(0x81, 1)));
            basesim::queueInputReport(voteReport(2, choice(0x82, 5))); // record gap
            basesim::queueInputReport(voteReport(7, choice(0x83, 6))); // report gap
            client.waitFor("addVote", 3);
            client.waitFor("reportGap");
            const int stops = client.count("voteStopped");
            api->protocol->stopVote();
            client.waitFor("voteStopped", stops + 1);
        }
        basesim::unplug();
        client.waitFor("baseLost");
    }

    ReentrantClient client;
    VexorAPI *api = nullptr;
    boost::thread opener;
};

class EveryOperationFromEveryCallback : public CallsFromCallbacksTest,
                                        public ::testing::WithParamInterface<Operation>
{
};

TEST_P(EveryOperationFromEveryCallback, NeverDeadlocksAndStopReturnsPromptly)
{
    client.operation = GetParam().call;
    client.expected = GetParam().reached;
    driveThroughEveryCallback();
    returnsWithin(
        promptly, [this] { api->stop(); }, "stop()");

    const Names called = client.callbacksThatCalled();
    for (const std::string &name : GetParam().reached)
        EXPECT_EQ(called.count(name), 1u) << "not called from " << name;
}

INSTANTIATE_TEST_SUITE_P(CallsFromCallbacks, EveryOperationFromEveryCallback,
                         ::testing::ValuesIn(operations),
                         [](const ::testing::TestParamInfo<Operation> &param) {
                             return std::string(param.param.name);
                         });

// stop() from inside a callback cannot join the thread it runs on: it asks
// the threads to end and returns, and the client's own stop() then joins
// them at once.
class StopFromEachCallback : public CallsFromCallbacksTest,
                             public ::testing::WithParamInterface<std::string>
{
};

TEST_P(StopFromEachCallback, ReturnsAndTheClientsStopJoinsPromptly)
{
    const std::string callback = GetParam();
    std::promise<void> stopped;
    std::future<void> stopReturned = stopped.get_future();
    client.onlyFrom = &callback;
    std::atomic<bool> signalled{false};
    client.operation = [&](VexorAPI &facade) {
        facade.stop();
        if (!signalled.exchange(true))
            stopped.set_value();
        client.giveUp();
    };
    driveThroughEveryCallback();
    ASSERT_EQ(client.callbacksThatCalled(), Names{callback});
    EXPECT_EQ(stopReturned.wait_for(promptly), std::future_status::ready);
    returnsWithin(
        promptly, [this] { api->stop(); }, "stop()");
}

INSTANTIATE_TEST_SUITE_P(CallsFromCallbacks, StopFromEachCallback,
                         ::testing::ValuesIn(allCallbacks.begin(), allCallbacks.end()),
                         [](const ::testing::TestParamInfo<std::string> &param) {
                             return param.param;
                         });

} // namespace
