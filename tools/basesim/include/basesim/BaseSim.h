#ifndef BASESIM_BASESIM_H
#define BASESIM_BASESIM_H

// The simulated base station: a stand-in for the USB HID base (vendor 0x1881,
// product 0x0150) behind hidapi's C functions. Link a program against the
// basesim library ahead of hidapi (or preload it) and every hid_* call that
// program makes reaches the simulation instead of the real devices.
//
// This header controls the simulation from inside the process. All functions
// are thread-safe.
//
// Like hidapi's own backends, the simulation gives each open handle its own
// input queue, and it ends the program (with a message naming both
// functions) when two threads are inside hidapi's process-wide functions at
// once, or when a handle is used after, or closed during, a call on it.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace basesim {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;
using Microseconds = std::chrono::microseconds;

constexpr unsigned short vendorId = 0x1881;
constexpr unsigned short productId = 0x0150;
constexpr std::size_t reportSize = 64;
/// The base hands its input reports to the host at most one per interval: a
/// full-speed USB interrupt endpoint is polled once a millisecond.
constexpr Microseconds defaultReportInterval{1000};
/// Input reports a handle holds at most, as a hidraw file does (its ring of 64
/// slots keeps one free); a report that reaches a full queue is dropped.
constexpr std::size_t handleQueueCapacity = 63;

/// One output report as a program wrote it, with the time of the write.
struct WrittenReport
{
    Clock::time_point time;
    std::vector<unsigned char> bytes;
};

/// One vote of a handheld remote: its 24-bit identifier and the key pressed
/// ('A' to 'F').
struct Vote
{
    uint32_t remote = 0;
    char answer = 'A';
};

/// What one handle has received and read. Each open handle has its own queue
/// and receives every input report sent while it is open and alive, unless
/// its queue is full (handleQueueCapacity): then the report is dropped for
/// that handle. At close or unplug its unread reports are discarded
/// (received - read - queued).
struct HandleRecord
{
    bool open = false;        // not yet closed
    bool alive = false;       // its attachment has not ended
    std::size_t received = 0; // input reports queued for it
    std::size_t read = 0;     // of those, delivered to a read
    std::size_t queued = 0;   // of those, waiting to be read now
    std::size_t dropped = 0;  // input reports that found its queue full
};

/// Back to a fresh base: plugged (or not), nothing queued or recorded, no
/// faults pending, the default report interval. Handles opened before are
/// dead afterwards.
void reset(bool plugged = true);

/// Attaches the base. Handles from an earlier attachment stay dead.
void plug();
/// Detaches the base: it leaves the enumeration, open handles fail every read
/// and write (blocked reads return at once) and queued input reports are lost.
void unplug();
bool isPlugged();

/// The base sends an input report (kind first): it reaches the queue of every
/// open handle of the current attachment, at once if the base holds no other
/// and the report interval has passed since the last, otherwise after the
/// reports it holds, one per interval. Shorter reports are padded with zeros,
/// longer ones cut to 64 bytes. Lost while the base is unplugged or no handle
/// is open; an unplug loses the reports the base holds.
void queueInputReport(const std::vector<unsigned char> &report);
/// Sends vote reports (kind 2, command 0x30) carrying these votes as choice
/// records, with running report and record sequence numbers. Answers false
/// (and queues nothing) for an answer outside 'A' to 'F'.
bool queueVotes(const std::vector<Vote> &votes);
/// Sends these votes (as queueVotes does) in the instant after a program has
/// looked into a handle and found nothing: the next read that does not wait
/// (hid_read_timeout with 0 ms, or hid_read on a non-blocking handle) and
/// finds its handle's queue empty returns nothing only once the base has
/// handed the votes over, to the handles open at that moment. Once; a reset
/// disarms it.
void queueVotesAfterNextEmptyPoll(const std::vector<Vote> &votes);
/// Input reports queued and not yet read, summed over the open handles.
std::size_t pendingInputReports();
/// The least time between two input reports the base hands over
/// (defaultReportInterval; 0: each at once).
void setReportInterval(Microseconds interval);
/// Waits until the base has handed over every input report it holds; false
/// on time-out.
bool waitForHandOver(Milliseconds timeout);

/// Every output report written successfully since the last reset or clear,
/// in order.
std::vector<WrittenReport> writtenReports();
void clearWrittenReports();
/// Waits until at least count reports have been recorded; false on time-out.
bool waitForWrites(std::size_t count, Milliseconds timeout);

/// Makes the n-th write from now fail (1: the next one). The failed write is
/// not recorded.
void failWrite(int n);
/// Makes the next read fail (-1) once, or the read waiting right now, which
/// returns at once. The base stays plugged and enumerated and its handles keep
/// working: a transient read error.
void failNextRead();
/// Unplugs the base and plugs it in again right after the n-th successful
/// write from now (1: the next one): handles opened before are dead, and the
/// base is listed again at once — a base that drops out for a moment while a
/// program writes to it.
void replugAfterWrite(int n);
/// A hiding that lasts until showInEnumeration().
constexpr Milliseconds untilShown = Milliseconds::max();
/// Removes the base from the enumeration (and from hid_open, but not from
/// hid_open_path) for a while, starting now, or untilShown. Open handles keep
/// working.
void hideFromEnumeration(Milliseconds duration);
/// Like hideFromEnumeration, starting at the next successful opening.
void hideAfterNextOpen(Milliseconds duration);
/// Ends a hiding now (and one pending for the next opening).
void showInEnumeration();

/// Handles opened and not yet closed.
int openHandles();
/// Calls of hid_enumerate since the last reset.
int enumerations();
/// Waits until hid_enumerate has been called at least count times since the
/// last reset; false on time-out.
bool waitForEnumerations(int count, Milliseconds timeout);
/// Reads waiting inside hid_read or hid_read_timeout right now.
int blockedReads();
/// Waits until at least count reads are inside hid_read or
/// hid_read_timeout; false on time-out.
bool waitForBlockedReads(int count, Milliseconds timeout);
/// One record per handle opened since the last reset, in order of opening.
std::vector<HandleRecord> handleRecords();

/// Starts the text control channel on a Unix socket at path (replacing a
/// stale socket file). Commands, one per line, each answered by one line
/// starting with "ok" or "error": plug, unplug, status,
/// vote <remote-hex> <answer> [<remote-hex> <answer>...], report <hex bytes>,
/// fail-write <n>, fail-read, hide <ms>, show, written, reset.
/// A process that preloads the library starts it by itself when the
/// environment variable BASESIM_CONTROL names the socket.
bool startControlChannel(const std::string &path);
void stopControlChannel();

/// Executes one command of the control channel and answers its reply line
/// (without line break).
std::string executeCommand(const std::string &line);

} // namespace basesim

#endif // BASESIM_BASESIM_H
