// The exported classes as their documented tables declare them: the type of
// every operation (constness, parameter passing), the order of the virtual
// slots, and a client written from those tables alone, built against the
// shared library.
#include <VexorAPI/ConnectBase.h>
#include <VexorAPI/IBaseManagementEvents.h>
#include <VexorAPI/IConnectBase.h>
#include <VexorAPI/IProtocol.h>
#include <VexorAPI/IVexorAPI.h>
#include <VexorAPI/IVoteElement.h>
#include <VexorAPI/IVoteSessionMutators.h>
#include <VexorAPI/VexorAPI.h>

#include <basesim/BaseSim.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

class IBaseManagement;
class IDeviceReader;
class IInputReportsParser;
class ISleeper;
class ISpecificationCollection;

namespace {

using boost::posix_time::ptime;

template <typename Expected, typename Actual>
constexpr bool same = std::is_same_v<Expected, Actual>;

// IVoteElement: getters and create are not const; strings pass by value.
static_assert(same<unsigned char (IVoteElement::*)(), decltype(&IVoteElement::getType)>);
static_assert(same<ptime (IVoteElement::*)(), decltype(&IVoteElement::getTimestamp)>);
static_assert(same<std::string (IVoteElement::*)(), decltype(&IVoteElement::getRemoteId)>);
static_assert(same<std::string (IVoteElement::*)(), decltype(&IVoteElement::getAnswer)>);
static_assert(same<unsigned char (IVoteElement::*)(), decltype(&IVoteElement::getSequence)>);
static_assert(same<IVoteElement *(IVoteElement::*)(ptime, std::string, std::string, unsigned char,
                                                   unsigned char),
                   decltype(&IVoteElement::create)>);
static_assert(std::has_virtual_destructor_v<IVoteElement>);

// IVoteSessionMutators.
static_assert(
    same<void (IVoteSessionMutators::*)(IVoteElement *), decltype(&IVoteSessionMutators::addVote)>);
static_assert(
    same<void (IVoteSessionMutators::*)(int), decltype(&IVoteSessionMutators::voteStateChanged)>);
static_assert(
    same<void (IVoteSessionMutators::*)(), decltype(&IVoteSessionMutators::recordSequenceGap)>);
static_assert(
    same<void (IVoteSessionMutators::*)(), decltype(&IVoteSessionMutators::reportSequenceGap)>);
static_assert(
    same<IVoteElement * IVoteSessionMutators::*, decltype(&IVoteSessionMutators::votePrototype)>);
static_assert(std::has_virtual_destructor_v<IVoteSessionMutators>);

// IProtocol.
using ProtocolCommand = bool (IProtocol::*)();
static_assert(same<ProtocolCommand, decltype(&IProtocol::findBase)>);
static_assert(same<ProtocolCommand, decltype(&IProtocol::openBase)>);
static_assert(same<ProtocolCommand, decltype(&IProtocol::closeBase)>);
static_assert(same<ProtocolCommand, decltype(&IProtocol::sendCommand24)>);
static_assert(same<ProtocolCommand, decltype(&IProtocol::baseIsAttached)>);
static_assert(same<ProtocolCommand, decltype(&IProtocol::waitForBase)>);
static_assert(
    same<bool (IProtocol::*)(unsigned char *, int, int), decltype(&IProtocol::readReport)>);
static_assert(same<bool (IProtocol::*)(char, char, bool), decltype(&IProtocol::setFrequencies)>);
static_assert(same<bool (IProtocol::*)(unsigned char), decltype(&IProtocol::startVote)>);
static_assert(same<ProtocolCommand, decltype(&IProtocol::stopVote)>);
static_assert(
    same<bool (IProtocol::*)(const std::string &, short), decltype(&IProtocol::setDisplayLine)>);
static_assert(same<ISleeper * IProtocol::*, decltype(&IProtocol::sleeper)>);
static_assert(same<ISpecificationCollection * IProtocol::*, decltype(&IProtocol::specifications)>);
static_assert(std::has_virtual_destructor_v<IProtocol>);

// IConnectBase and ConnectBase.
template <typename Class> constexpr bool connectStepsAsDocumented()
{
    using Step = void (Class::*)();
    return same<Step, decltype(&Class::connectLoop)> && same<Step, decltype(&Class::connectOnce)> &&
           same<Step, decltype(&Class::waitForABase)> &&
           same<Step, decltype(&Class::waitForOpenBase)> &&
           same<Step, decltype(&Class::baseIsPresent)> &&
           same<bool (Class::*)(), decltype(&Class::testBaseIsPresent)>;
}
static_assert(connectStepsAsDocumented<IConnectBase>());
static_assert(connectStepsAsDocumented<ConnectBase>());
static_assert(same<ISleeper * IConnectBase::*, decltype(&IConnectBase::sleeper)>);
static_assert(same<IProtocol * IConnectBase::*, decltype(&IConnectBase::protocol)>);
static_assert(same<IBaseManagement * IConnectBase::*, decltype(&IConnectBase::management)>);
static_assert(std::has_virtual_destructor_v<IConnectBase>);
static_assert(std::is_default_constructible_v<ConnectBase>);
static_assert(std::is_constructible_v<ConnectBase, IProtocol *, IBaseManagement *>);
static_assert(std::is_constructible_v<ConnectBase, ISleeper *, IProtocol *, IBaseManagement *>);

// IVexorAPI, VexorAPI and the factory.
static_assert(same<void (IVexorAPI::*)(), decltype(&IVexorAPI::run)>);
static_assert(same<void (IVexorAPI::*)(), decltype(&IVexorAPI::stop)>);
static_assert(same<IProtocol * IVexorAPI::*, decltype(&IVexorAPI::protocol)>);
static_assert(same<IConnectBase * IVexorAPI::*, decltype(&IVexorAPI::connectBase)>);
static_assert(!std::has_virtual_destructor_v<IVexorAPI>);
static_assert(same<void (VexorAPI::*)(), decltype(&VexorAPI::launchConnect)>);
static_assert(same<void (VexorAPI::*)(), decltype(&VexorAPI::launchDeviceReader)>);
static_assert(same<void (VexorAPI::*)(), decltype(&VexorAPI::launchInputReportParser)>);
static_assert(std::is_default_constructible_v<VexorAPI>);
static_assert(std::is_constructible_v<VexorAPI, IBaseManagementEvents *, IVoteSessionMutators *>);
static_assert(std::is_constructible_v<VexorAPI, IProtocol *, IConnectBase *, IDeviceReader *,
                                      IInputReportsParser *>);
static_assert(same<IVexorAPI *(IBaseManagementEvents *, IVoteSessionMutators *),
                   decltype(getConcreteIVexorAPI)>);

#if defined(__x86_64__) || defined(__i386__)

// The slot of a virtual operation in its class's virtual table. On these
// targets (Itanium C++ ABI) a pointer to a virtual member function holds 1
// plus the byte offset of the slot.
template <typename Member> std::size_t slotOf(Member member)
{
    struct Raw
    {
        std::uintptr_t pointer;
        std::ptrdiff_t adjustment;
    };
    static_assert(sizeof(Member) == sizeof(Raw));
    Raw raw;
    std::memcpy(&raw, &member, sizeof raw);
    EXPECT_EQ(raw.pointer % sizeof(void *), 1u) << "not a virtual operation";
    return (raw.pointer - 1) / sizeof(void *);
}

// Slots first, first + 1, ...: a virtual destructor declared first takes the
// two slots before the operations.
std::vector<std::size_t> consecutive(std::size_t first, std::size_t count)
{
    std::vector<std::size_t> slots;
    for (std::size_t i = 0; i < count; ++i)
        slots.push_back(first + i);
    return slots;
}

TEST(ExportedInterface, VirtualSlotsInTheDocumentedOrder)
{
    EXPECT_EQ((std::vector<std::size_t>{
                  slotOf(&IVoteElement::getType), slotOf(&IVoteElement::getTimestamp),
                  slotOf(&IVoteElement::getRemoteId), slotOf(&IVoteElement::getAnswer),
                  slotOf(&IVoteElement::getSequence), slotOf(&IVoteElement::create)}),
              consecutive(2, 6));
    // The third operation, never called by the library, lies between.
    EXPECT_EQ((std::vector<std::size_t>{slotOf(&IVoteSessionMutators::addVote),
                                        slotOf(&IVoteSessionMutators::voteStateChanged),
                                        slotOf(&IVoteSessionMutators::recordSequenceGap) - 1,
                                        slotOf(&IVoteSessionMutators::reportSequenceGap) - 1}),
              consecutive(2, 4));
    EXPECT_EQ((std::vector<std::size_t>{
                  slotOf(&IProtocol::findBase), slotOf(&IProtocol::openBase),
                  slotOf(&IProtocol::closeBase), slotOf(&IProtocol::sendCommand24),
                  slotOf(&IProtocol::baseIsAttached), slotOf(&IProtocol::waitForBase),
                  slotOf(&IProtocol::readReport), slotOf(&IProtocol::setFrequencies),
                  slotOf(&IProtocol::startVote), slotOf(&IProtocol::stopVote),
                  slotOf(&IProtocol::setDisplayLine)}),
              consecutive(2, 11));
    EXPECT_EQ((std::vector<std::size_t>{
                  slotOf(&IConnectBase::connectLoop), slotOf(&IConnectBase::connectOnce),
                  slotOf(&IConnectBase::waitForABase), slotOf(&IConnectBase::waitForOpenBase),
                  slotOf(&IConnectBase::baseIsPresent), slotOf(&IConnectBase::testBaseIsPresent)}),
              consecutive(2, 6));
    EXPECT_EQ((std::vector<std::size_t>{slotOf(&IVexorAPI::run), slotOf(&IVexorAPI::stop)}),
              consecutive(0, 2));
    EXPECT_EQ((std::vector<std::size_t>{slotOf(&IBaseManagementEvents::onNoBase),
                                        slotOf(&IBaseManagementEvents::onBaseFound),
                                        slotOf(&IBaseManagementEvents::onOpeningBase),
                                        slotOf(&IBaseManagementEvents::onBaseReady),
                                        slotOf(&IBaseManagementEvents::onBaseLost)}),
              consecutive(2, 5));
}

#endif

// A record class and a client written from the documented tables alone.
class TableVote : public IVoteElement
{
public:
    TableVote() = default;
    TableVote(ptime timestamp_, std::string remoteId_, std::string answer_, unsigned char type_,
              unsigned char sequence_)
        : IVoteElement(timestamp_, remoteId_, answer_, type_, sequence_), timestamp(timestamp_),
          remoteId(remoteId_), answer(answer_), type(type_), sequence(sequence_)
    {
    }

    unsigned char getType() override { return type; }
    ptime getTimestamp() override { return timestamp; }
    std::string getRemoteId() override { return remoteId; }
    std::string getAnswer() override { return answer; }
    unsigned char getSequence() override { return sequence; }
    IVoteElement *create(ptime timestamp_, std::string remoteId_, std::string answer_,
                         unsigned char type_, unsigned char sequence_) override
    {
        return new TableVote(timestamp_, remoteId_, answer_, type_, sequence_);
    }

private:
    ptime timestamp;
    std::string remoteId;
    std::string answer;
    unsigned char type = 0;
    unsigned char sequence = 0;
};

// Records the first vote it receives and when the base is ready.
class TableClient : public IBaseManagementEvents, public IVoteSessionMutators
{
public:
    TableClient() : IVoteSessionMutators(0, 0, &prototype) {}

    void onNoBase() override {}
    void onBaseFound() override {}
    void onOpeningBase() override {}
    void onBaseReady() override
    {
        note([this] { ready = true; });
    }
    void onBaseLost() override {}
    void addVote(IVoteElement *vote) override
    {
        std::unique_ptr<IVoteElement> owned(vote);
        note([&] {
            if (!firstVote)
                firstVote = std::move(owned);
        });
    }
    void voteStateChanged(int) override {}
    void recordSequenceGap() override {}
    void reportSequenceGap() override {}

    bool waitUntil(const std::function<bool()> &done)
    {
        std::unique_lock<std::mutex> guard(mutex);
        return changed.wait_for(guard, std::chrono::seconds(20), done);
    }

    TableVote prototype;
    std::mutex mutex; // protects ready and firstVote
    std::condition_variable changed;
    bool ready = false;
    std::unique_ptr<IVoteElement> firstVote;

private:
    void note(const std::function<void()> &change)
    {
        std::lock_guard<std::mutex> guard(mutex);
        change();
        changed.notify_all();
    }
};

static_assert(!std::is_abstract_v<TableVote>);
static_assert(!std::is_abstract_v<TableClient>);

// The shared library, built on its own, makes each record through the
// client's prototype and hands it to the client's addVote: the slots it calls
// are those of the client's classes.
TEST(ExportedInterface, ClientWrittenFromTheTablesReceivesItsOwnRecords)
{
    basesim::reset(true);
    TableClient client;
    IVexorAPI *api = getConcreteIVexorAPI(&client, &client);
    EXPECT_NE(api->protocol, nullptr);
    EXPECT_NE(api->connectBase, nullptr);
    static_cast<VexorAPI *>(api)->setReportTrace(nullptr);
    api->run();
    EXPECT_TRUE(client.waitUntil([&] { return client.ready; }));
    basesim::queueInputReport({0x02, 0x30, 0x07, 0x05, 0x84, 0x0A, 0xB0, 0x01, 0x09});
    EXPECT_TRUE(client.waitUntil([&] { return client.firstVote != nullptr; }));
    delete static_cast<VexorAPI *>(api);

    ASSERT_NE(dynamic_cast<TableVote *>(client.firstVote.get()), nullptr);
    EXPECT_EQ(client.firstVote->getRemoteId(), "0ab001");
    EXPECT_EQ(client.firstVote->getAnswer(), "D");
    EXPECT_EQ(client.firstVote->getType(), 0x11);
    EXPECT_EQ(client.firstVote->getSequence(), 9);
}

} // namespace
