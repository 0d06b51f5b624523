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
#include <string>
#include <utility>
#include <vector>

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

// The vendor and product of each device hid_enumerate lists, and its path.
struct ListedDevice
{
    unsigned short vendor;
    unsigned short product;
    std::string path;
};

std::vector<ListedDevice> listHidDevices(unsigned short vendor, unsigned short product)
{
    std::vector<ListedDevice> listed;
    hid_device_info *devices = hid_enumerate(vendor, product);
    for (const hid_device_info *d = devices; d; d = d->next)
        listed.push_back({d->vendor_id, d->product_id, d->path ? d->path : ""});
    hid_free_enumeration(devices);
    return listed;
}

} // namespace

TEST(WindowsHid, InitResolvesTheSystemHidLibrary)
{
    EXPECT_EQ(hid_init(), 0);
    EXPECT_EQ(hid_init(), 0) << "a second call returns at once";
    EXPECT_EQ(hid_exit(), 0);
}

// Wine's HID bus driver always has HID devices of its own (a virtual mouse
// and keyboard), registered while the prefix starts; the listing must find
// them, as Windows lists a machine's HID devices.
TEST(WindowsHid, EnumerationListsTheSystemsHidDevices)
{
    std::vector<ListedDevice> all;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((all = listHidDevices(0, 0)).empty() && std::chrono::steady_clock::now() < deadline)
        Sleep(100);
    ASSERT_FALSE(all.empty()) << "hid_enumerate listed no HID device within 30 s";

    const ListedDevice &first = all.front();
    std::string prefix = first.path.substr(0, 8);
    CharLowerBuffA(prefix.data(), static_cast<DWORD>(prefix.size()));
    EXPECT_EQ(prefix, "\\\\?\\hid#") << "not a device interface path: " << first.path;
    const auto same = listHidDevices(first.vendor, first.product);
    ASSERT_FALSE(same.empty()) << "the vendor and product filter lost the device";
    for (const ListedDevice &d : same)
        EXPECT_EQ(std::make_pair(d.vendor, d.product), std::make_pair(first.vendor, first.product));
    EXPECT_TRUE(
        listHidDevices(first.vendor, static_cast<unsigned short>(first.product ^ 0x8000)).empty());
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
