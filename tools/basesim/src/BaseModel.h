#ifndef TOOLS_BASESIM_BASEMODEL_H
#define TOOLS_BASESIM_BASEMODEL_H

#include <basesim/BaseSim.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace basesim {

using Report = std::vector<unsigned char>;

/// The simulated base station itself, apart from the way a host reaches it:
/// whether it is plugged in, what it answers to the output reports it
/// receives, and the input reports it sends (command answers, votes).
///
/// A front end per transport (hidapi's functions, a USB gadget) connects it to
/// hosts: it passes on the output reports that arrive, and, as a listener,
/// takes every input report the base sends and every plug-in and unplug.
/// Each plug-in starts a new attachment; an output report sent on an
/// attachment that has ended does not reach the base.
///
/// The base hands its input reports over at most one per report interval, as
/// a USB interrupt endpoint does: a burst waits in the base, oldest first,
/// and goes out from a thread of the model's own; an unplug loses it.
class BaseModel
{
public:
    /// Told of the base's input reports and attachments, in the order they
    /// happen. Called with the model's lock held: a listener must neither
    /// block nor call back into the model.
    class Listener
    {
    public:
        virtual ~Listener() = default;
        /// The base sends this input report (64 bytes, kind first).
        virtual void inputReport(const Report &report) = 0;
        /// The base was plugged in (a new attachment begins) or unplugged
        /// (the current one ends); the attachment number never repeats.
        virtual void attachmentChanged(unsigned long attachment, bool plugged) = 0;
    };

    explicit BaseModel(bool plugged = true);
    ~BaseModel();

    BaseModel(const BaseModel &) = delete;
    BaseModel &operator=(const BaseModel &) = delete;

    void addListener(Listener *listener);

    /// Back to a fresh base on a new attachment: nothing recorded or held,
    /// sequence numbers at zero, no replug pending, the default report
    /// interval.
    void reset(bool plugged);
    void plug();
    void unplug();
    bool isPlugged();
    /// The current attachment's number (meaningful while plugged).
    unsigned long attachment();

    /// An output report from a host, sent on the given attachment. Answers
    /// false, and the base never sees it, if that attachment has ended.
    bool receiveOutputReport(unsigned long onAttachment, const unsigned char *data,
                             std::size_t length);
    /// Sends one input report, padded with zeros or cut to 64 bytes: at once
    /// if the base holds no other and the report interval has passed since
    /// the last, otherwise after those it holds. Nothing is sent while the
    /// base is unplugged.
    void sendInputReport(const Report &report);
    /// Sends vote reports carrying these votes; false (nothing sent) for an
    /// answer outside 'A' to 'F'.
    bool sendVotes(const std::vector<Vote> &votes);
    /// Like sendVotes, then waits until those votes have left the base
    /// (handed over, or lost with an unplug); false on time-out.
    bool sendVotesAndWait(const std::vector<Vote> &votes, Milliseconds timeout);

    std::vector<WrittenReport> writtenReports();
    void clearWrittenReports();
    bool waitForWrites(std::size_t count, Milliseconds timeout);
    /// Unplugs and plugs in again right after the n-th output report from now.
    void replugAfterWrite(int n);

    void setReportInterval(Microseconds interval);
    /// Waits until the base holds no input report; false on time-out.
    bool waitForHandOver(Milliseconds timeout);

private:
    using Lock = std::unique_lock<std::mutex>;

    void sendLocked(const Report &report);
    bool sendVotesLocked(const std::vector<Vote> &votes);
    void handOverOldestLocked();
    void pace();
    void answerLocked(const unsigned char *data, std::size_t length);
    void changeAttachmentLocked(bool pluggedAfter);

    std::mutex mutex;                      // protects every member below
    std::condition_variable reportWritten; // an output report recorded
    std::condition_variable heldChanged;   // a report held, the interval changed, stopping
    std::condition_variable handedOver;    // an input report has left the base
    std::vector<Listener *> listeners;
    bool plugged;
    unsigned long currentAttachment = 1;
    std::vector<WrittenReport> written;
    int writesUntilReplug = 0; // 0: no replug pending
    unsigned char reportSequence = 0;
    unsigned char recordSequence = 0;
    std::deque<Report> held; // input reports not yet handed over, oldest first
    // Input reports sent while plugged, and of those, how many have left the
    // base since (handed over, or lost with an unplug).
    unsigned long long reportsSent = 0;
    unsigned long long reportsLeft = 0;
    Microseconds reportInterval = defaultReportInterval;
    Clock::time_point lastHandOver{};
    bool stopping = false;
    std::thread pacer; // hands over held reports; started with the first
};

} // namespace basesim

#endif // TOOLS_BASESIM_BASEMODEL_H
