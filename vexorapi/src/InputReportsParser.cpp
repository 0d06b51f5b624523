#include "InputReportsParser.h"

#include "IBaseDataEvents.h"
#include "IRawData.h"
#include "StopRequest.h"
#include "VoteText.h"

#include <VexorAPI/IVoteElement.h>
#include <VexorAPI/IVoteSessionMutators.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>

namespace {

constexpr unsigned char voteReportKind = 0x02;
constexpr unsigned char voteReportCommand = 0x30;
constexpr unsigned char commandAnswerKind = 0x01;
constexpr unsigned char voteStartCommand = 0x11;
constexpr unsigned char stopVoteCommand = 0x12;
constexpr int voteStarted = 2;
constexpr int voteStopped = 3;

constexpr unsigned sequenceOffset = 2;
constexpr unsigned countOffset = 3;
// The last byte a record may occupy: the report ends there, whatever the
// count says.
constexpr unsigned lastReportByte = InputReportsParser::reportLength - 1;

enum class Payload { choice, numeric, alphanumeric };

struct RecordLayout
{
    Payload payload;
    // Distance from the type byte to the sequence byte.
    unsigned sequenceDistance;
};

bool recordLayout(unsigned char type, RecordLayout &layout)
{
    if (type == 0x11 || (type >= 0x81 && type <= 0x86))
        layout = {Payload::choice, 4};
    else if (type == 0x87)
        layout = {Payload::numeric, 9};
    else if (type == 0x88)
        layout = {Payload::alphanumeric, 12};
    else if (type == 0x8B)
        layout = {Payload::alphanumeric, 20};
    else
        return false;
    return true;
}

// The choices A to E all arrive as type 0x11; F keeps its own type.
unsigned char normalisedType(unsigned char type)
{
    return type >= 0x81 && type <= 0x85 ? 0x11 : type;
}

// True when next neither repeats nor directly follows last (modulo 256).
bool isGap(unsigned char last, unsigned char next)
{
    return next != last && next != static_cast<unsigned char>(last + 1);
}

} // namespace

InputReportsParser::InputReportsParser(IRawData *rawData_, IVoteSessionMutators *mutators_,
                                       IBaseDataEvents *dataEvents_)
    : rawData(rawData_), mutators(mutators_), dataEvents(dataEvents_), traceOut(&std::cout)
{
}

void InputReportsParser::parsePending()
{
    drainQueue();
}

void InputReportsParser::run()
{
    for (;;) {
        StopRequest::stopPoint();
        drainQueue();
        waitForData();
    }
}

void InputReportsParser::setTrace(std::ostream *out)
{
    traceOut = out;
}

void InputReportsParser::drainQueue()
{
    while (!StopRequest::thisThreadStopping()) {
        const std::unique_ptr<IRawDataElement> element = takeFront();
        if (!element)
            return;
        handle(*element);
    }
}

std::unique_ptr<IRawDataElement> InputReportsParser::takeFront()
{
    boost::lock_guard<boost::mutex> guard(dataEvents->mutex);
    if (rawData->elements.empty())
        return nullptr;
    return std::unique_ptr<IRawDataElement>(rawData->elements.pop_front().release());
}

void InputReportsParser::waitForData()
{
    boost::unique_lock<boost::mutex> guard(dataEvents->mutex);
    // An interruption point; stopping the library also wakes it.
    while (rawData->elements.empty() && !StopRequest::thisThreadStopping())
        dataEvents->condition.wait(guard);
}

void InputReportsParser::handle(const IRawDataElement &element)
{
    Report report;
    const unsigned char *data = element.getData();
    const int length = std::min(element.getLength(), reportLength);
    if (data && length > 0)
        std::memcpy(report.bytes.data(), data, static_cast<std::size_t>(length));
    report.timestamp = *element.getTimestamp();

    trace(report);
    if (report.bytes[0] == voteReportKind && report.bytes[1] == voteReportCommand)
        parseVoteReport(report);
    else
        parseCommandEcho(report);
}

// "\nnew: " and then " xx" per byte, in lowercase hexadecimal without
// leading zeros.
void InputReportsParser::trace(const Report &report) const
{
    std::ostream *out = traceOut;
    if (!out)
        return;
    static constexpr char hex[] = "0123456789abcdef";
    char line[8 + 3 * reportLength];
    std::size_t size = 0;
    for (const char c : {'\n', 'n', 'e', 'w', ':', ' '})
        line[size++] = c;
    for (const unsigned char byte : report.bytes) {
        line[size++] = ' ';
        if (byte > 0x0F)
            line[size++] = hex[byte >> 4];
        line[size++] = hex[byte & 0x0F];
    }
    line[size++] = '\n';
    out->write(line, static_cast<std::streamsize>(size));
}

void InputReportsParser::parseVoteReport(const Report &report)
{
    const unsigned char sequence = report.bytes[sequenceOffset];
    if (!firstRecord && sequence == lastReportSequence)
        return; // the base sent the previous report again

    if (firstReport)
        firstReport = false;
    else if (isGap(lastReportSequence, sequence))
        mutators->reportSequenceGap();
    lastReportSequence = sequence;

    const unsigned end = std::min(countOffset + report.bytes[countOffset], lastReportByte);
    unsigned position = countOffset;
    while (position < end) {
        ++position;
        if (!parseVoteRecord(report, position, end))
            break;
    }
}

bool InputReportsParser::parseVoteRecord(const Report &report, unsigned &position, unsigned end)
{
    const unsigned start = position;
    const unsigned char type = report.bytes[start];
    RecordLayout layout;
    if (!recordLayout(type, layout) || start + layout.sequenceDistance > end)
        return false;

    const unsigned char *record = &report.bytes[start];
    const unsigned char *payload = record + 4;
    const std::size_t payloadLength = layout.sequenceDistance - 4;
    std::string answer;
    switch (layout.payload) {
    case Payload::choice:
        answer.assign(1, static_cast<char>(type - 0x40));
        break;
    case Payload::numeric:
        answer = vote_text::numeric(payload, payloadLength);
        break;
    case Payload::alphanumeric:
        answer = vote_text::alphanumeric(payload, payloadLength);
        break;
    }
    position = start + layout.sequenceDistance;

    const unsigned char sequence = report.bytes[position];
    if (firstRecord)
        firstRecord = false;
    else if (isGap(lastRecordSequence, sequence))
        mutators->recordSequenceGap();
    lastRecordSequence = sequence;

    mutators->addVote(mutators->votePrototype->create(
        report.timestamp, vote_text::remoteId(record + 1), answer, normalisedType(type), sequence));
    return true;
}

void InputReportsParser::parseCommandEcho(const Report &report)
{
    if (report.bytes[0] != commandAnswerKind)
        return;
    if (report.bytes[1] == voteStartCommand) {
        mutators->voteStateChanged(voteStarted);
        firstRecord = true;
        firstReport = true;
    } else if (report.bytes[1] == stopVoteCommand) {
        mutators->voteStateChanged(voteStopped);
    }
}
