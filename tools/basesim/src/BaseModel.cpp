#include "BaseModel.h"

#include <algorithm>
#include <cctype>

namespace basesim {

namespace {

constexpr unsigned char commandKind = 0x01;
constexpr unsigned char startVoteCommand = 0x11;
constexpr unsigned char stopVoteCommand = 0x12;
constexpr unsigned char voteKind = 0x02;
constexpr unsigned char voteCommand = 0x30;
constexpr std::size_t voteHeaderSize = 4;
constexpr std::size_t choiceRecordSize = 5;
constexpr std::size_t recordsPerReport = (reportSize - voteHeaderSize) / choiceRecordSize;

char upperCase(char answer)
{
    return static_cast<char>(std::toupper(static_cast<unsigned char>(answer)));
}

bool choiceAnswer(char answer)
{
    const char upper = upperCase(answer);
    return upper >= 'A' && upper <= 'F';
}

void appendChoiceRecord(Report &report, const Vote &vote, unsigned char sequence)
{
    report.push_back(static_cast<unsigned char>(upperCase(vote.answer) + 0x40));
    report.push_back(static_cast<unsigned char>(vote.remote >> 16));
    report.push_back(static_cast<unsigned char>(vote.remote >> 8));
    report.push_back(static_cast<unsigned char>(vote.remote));
    report.push_back(sequence);
}

} // namespace

BaseModel::BaseModel(bool pluggedAtStart) : plugged(pluggedAtStart) {}

BaseModel::~BaseModel()
{
    {
        Lock lock(mutex);
        stopping = true;
        heldChanged.notify_all();
    }
    if (pacer.joinable())
        pacer.join();
}

void BaseModel::addListener(Listener *listener)
{
    Lock lock(mutex);
    listeners.push_back(listener);
}

void BaseModel::reset(bool pluggedAfter)
{
    Lock lock(mutex);
    written.clear();
    writesUntilReplug = 0;
    reportSequence = 0;
    recordSequence = 0;
    reportInterval = defaultReportInterval;
    lastHandOver = {};
    changeAttachmentLocked(pluggedAfter);
}

void BaseModel::plug()
{
    Lock lock(mutex);
    if (!plugged)
        changeAttachmentLocked(true);
}

void BaseModel::unplug()
{
    Lock lock(mutex);
    if (plugged)
        changeAttachmentLocked(false);
}

bool BaseModel::isPlugged()
{
    Lock lock(mutex);
    return plugged;
}

unsigned long BaseModel::attachment()
{
    Lock lock(mutex);
    return currentAttachment;
}

bool BaseModel::receiveOutputReport(unsigned long onAttachment, const unsigned char *data,
                                    std::size_t length)
{
    Lock lock(mutex);
    if (!plugged || onAttachment != currentAttachment)
        return false;
    written.push_back({Clock::now(), Report(data, data + length)});
    reportWritten.notify_all();
    answerLocked(data, length);
    if (writesUntilReplug > 0 && --writesUntilReplug == 0) {
        changeAttachmentLocked(false);
        changeAttachmentLocked(true);
    }
    return true;
}

void BaseModel::sendInputReport(const Report &report)
{
    Lock lock(mutex);
    sendLocked(report);
}

bool BaseModel::sendVotes(const std::vector<Vote> &votes)
{
    Lock lock(mutex);
    return sendVotesLocked(votes);
}

bool BaseModel::sendVotesAndWait(const std::vector<Vote> &votes, Milliseconds timeout)
{
    Lock lock(mutex);
    if (!sendVotesLocked(votes))
        return false;
    const unsigned long long sent = reportsSent;
    return handedOver.wait_for(lock, timeout, [&] { return reportsLeft >= sent; });
}

bool BaseModel::sendVotesLocked(const std::vector<Vote> &votes)
{
    if (!std::all_of(votes.begin(), votes.end(),
                     [](const Vote &v) { return choiceAnswer(v.answer); }))
        return false;
    for (std::size_t first = 0; first < votes.size(); first += recordsPerReport) {
        const std::size_t count = std::min(recordsPerReport, votes.size() - first);
        Report report{voteKind, voteCommand, reportSequence++,
                      static_cast<unsigned char>(count * choiceRecordSize)};
        for (std::size_t i = first; i < first + count; ++i)
            appendChoiceRecord(report, votes[i], recordSequence++);
        sendLocked(report);
    }
    return true;
}

std::vector<WrittenReport> BaseModel::writtenReports()
{
    Lock lock(mutex);
    return written;
}

void BaseModel::clearWrittenReports()
{
    Lock lock(mutex);
    written.clear();
}

bool BaseModel::waitForWrites(std::size_t count, Milliseconds timeout)
{
    Lock lock(mutex);
    return reportWritten.wait_for(lock, timeout, [&] { return written.size() >= count; });
}

void BaseModel::replugAfterWrite(int n)
{
    Lock lock(mutex);
    writesUntilReplug = std::max(0, n);
}

void BaseModel::setReportInterval(Microseconds interval)
{
    Lock lock(mutex);
    reportInterval = std::max(Microseconds(0), interval);
    heldChanged.notify_all();
}

bool BaseModel::waitForHandOver(Milliseconds timeout)
{
    Lock lock(mutex);
    return handedOver.wait_for(lock, timeout, [&] { return held.empty(); });
}

void BaseModel::sendLocked(const Report &report)
{
    if (!plugged)
        return;
    Report padded(reportSize, 0);
    std::copy_n(report.begin(), std::min(report.size(), reportSize), padded.begin());
    held.push_back(std::move(padded));
    ++reportsSent;
    if (held.size() == 1 && Clock::now() >= lastHandOver + reportInterval) {
        handOverOldestLocked();
        return;
    }
    if (!pacer.joinable())
        pacer = std::thread([this] { pace(); });
    heldChanged.notify_all();
}

void BaseModel::handOverOldestLocked()
{
    const Report report = std::move(held.front());
    held.pop_front();
    ++reportsLeft;
    lastHandOver = Clock::now();
    for (Listener *listener : listeners)
        listener->inputReport(report);
    handedOver.notify_all();
}

// The pacer thread: hands over the held reports, one per report interval.
void BaseModel::pace()
{
    Lock lock(mutex);
    while (!stopping) {
        const Clock::time_point due = lastHandOver + reportInterval;
        if (held.empty())
            heldChanged.wait(lock);
        else if (Clock::now() < due)
            heldChanged.wait_until(lock, due);
        else
            handOverOldestLocked();
    }
}

// The base confirms the start and the end of a vote with an input report.
void BaseModel::answerLocked(const unsigned char *data, std::size_t length)
{
    if (length < 3 || data[0] != 0x00 || data[1] != commandKind)
        return;
    if (data[2] == startVoteCommand || data[2] == stopVoteCommand)
        sendLocked({commandKind, data[2]});
}

// Every plug-in and unplug ends the current attachment.
void BaseModel::changeAttachmentLocked(bool pluggedAfter)
{
    reportsLeft += held.size();
    held.clear(); // what the base had not handed over is lost with it
    handedOver.notify_all();
    plugged = pluggedAfter;
    ++currentAttachment;
    for (Listener *listener : listeners)
        listener->attachmentChanged(currentAttachment, plugged);
}

} // namespace basesim
