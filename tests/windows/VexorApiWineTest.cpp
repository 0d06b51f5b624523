// VexorAPI.dll on Windows, through what it exports only: hidapi's functions
// against the system's hid.dll, the two input-buffer functions, and the
// facade's threads with no base attached.
#include <VexorAPI/HidInputBuffers.h>
#include <VexorAPI/IBaseManagementEvents.h>
#include <VexorAPI/IVoteSessionMutators.h>
#include <VexorAPI/VexorAPI.h>

#include <gtest/gtest.h>
#include <hidapi/hidapi.h>
#include <windows.h>

#include <atomic>
#include <chrono>

namespace {

// Counts onNoBase and signals an event once it has come twice; any other
// base event is counted as unexpected.
class NoBaseEvents : public IBaseManagementEvents
{
public:
    NoBaseEvents() : repeated(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~NoBaseEvents() override { CloseHandle(repeated); }

    void onNoBase() override
    {
        if (++noBase == 2)
            SetEvent(repeated);
    }
    void onBaseFound() override { ++unexpected; }
    void onOpeningBase() override { ++unexpected; }
    void onBaseReady() override { ++unexpected; }
    void onBaseLost() override { ++unexpected; }

    HANDLE repeated;
    std::atomic<int> noBase{0};
    std::atomic<int> unexpected{0};
};

class IgnoredVotes : public IVoteSessionMutators
{
public:
    void addVote(IVoteElement *) override {}
    void voteStateChanged(int) override {}
    void recordSequenceGap() override {}
    void reportSequenceGap() override {}
};

// A file handle dressed as a device record: the Windows backend of hidapi
// keeps the device's handle as the first member of its record, which is
// what the input-buffer functions hand to hid.dll.
struct FileAsDevice
{
    HANDLE handle;
};

} // namespace

TEST(WindowsHid, InitResolvesTheSystemHidLibrary)
{
    EXPECT_EQ(hid_init(), 0);
    EXPECT_EQ(hid_init(), 0) << "a second call returns at once";
    EXPECT_EQ(hid_exit(), 0);
}

TEST(WindowsHid, InputBufferFunctionsFailForAHandleThatIsNoHidDevice)
{
    wchar_t directory[MAX_PATH];
    wchar_t path[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, directory), 0u);
    ASSERT_NE(GetTempFileNameW(directory, L"vxr", 0, path), 0u);
    FileAsDevice file{CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr)};
    ASSERT_NE(file.handle, INVALID_HANDLE_VALUE);
    auto *device = reinterpret_cast<hid_device *>(&file);

    unsigned long count = 12345;
    EXPECT_EQ(hid_GetNumInputBuffers(device, &count), 0);
    EXPECT_EQ(count, 12345u) << "the count is left as it was";
    EXPECT_EQ(hid_SetNumInputBuffers(device, 512), 0);
    EXPECT_EQ(hid_GetNumInputBuffers(nullptr, &count), 0);
    EXPECT_EQ(hid_SetNumInputBuffers(nullptr, 512), 0);
    CloseHandle(file.handle);
}

TEST(WindowsFacade, ReportsNoBaseRepeatedlyAndStopsWithinTwoSeconds)
{
    NoBaseEvents events;
    IgnoredVotes votes;
    auto *api = static_cast<VexorAPI *>(getConcreteIVexorAPI(&events, &votes));
    ASSERT_NE(api, nullptr);

    api->run();
    EXPECT_EQ(WaitForSingleObject(events.repeated, 20000), WAIT_OBJECT_0)
        << "onNoBase came " << events.noBase.load() << " times";
    const auto before = std::chrono::steady_clock::now();
    api->stop();
    const auto stopping = std::chrono::steady_clock::now() - before;
    delete api;

    EXPECT_LT(stopping, std::chrono::seconds(2));
    EXPECT_EQ(events.unexpected.load(), 0);
}
