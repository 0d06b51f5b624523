#ifndef VEXORAPI_INPUTREPORTSPARSER_H
#define VEXORAPI_INPUTREPORTSPARSER_H

#include "IInputReportsParser.h"

#include <boost/date_time/posix_time/posix_time_types.hpp>

#include <array>
#include <atomic>
#include <memory>

class IBaseDataEvents;
class IRawData;
class IRawDataElement;
class IVoteSessionMutators;

// Decodes vote reports (kind 0x02, command 0x30) into addVote() calls and the
// base's answers to the vote-start and stop-vote commands into
// voteStateChanged(). Tracks one sequence byte per report and one per record
// to report gaps and to drop a vote report that the base sent twice.
//
// Vote report: 02 30, report sequence, count, then count bytes of records.
// Record: type, three identifier bytes, payload (none for choices, 5 bytes
// numeric, 8 or 16 alphanumeric), record sequence.
class InputReportsParser : public IInputReportsParser
{
public:
    static constexpr int reportLength = 64;

    InputReportsParser(IRawData *rawData, IVoteSessionMutators *mutators,
                       IBaseDataEvents *dataEvents);

    void parsePending() override;
    void run() override;
    void setTrace(std::ostream *out) override;

    // Removes and handles queued elements until the queue is empty.
    void drainQueue();

private:
    // The bytes of one report, zero-padded to the full report length so that
    // decoding never reads past them, and the time the report was read.
    struct Report
    {
        std::array<unsigned char, reportLength> bytes{};
        boost::posix_time::ptime timestamp;
    };

    std::unique_ptr<IRawDataElement> takeFront();
    void waitForData();
    void handle(const IRawDataElement &element);
    void trace(const Report &report) const;

    void parseVoteReport(const Report &report);
    // Decodes the record at position whose last byte may lie at end at most;
    // leaves position on the record's sequence byte. False for an unknown
    // record type or a record that does not fit.
    bool parseVoteRecord(const Report &report, unsigned &position, unsigned end);
    void parseCommandEcho(const Report &report);

    IRawData *rawData = nullptr;
    IVoteSessionMutators *mutators = nullptr;
    IBaseDataEvents *dataEvents = nullptr;
    // Tracking state, touched by the parser's thread alone.
    bool firstRecord = true;
    bool firstReport = true;
    unsigned char lastRecordSequence = 0;
    unsigned char lastReportSequence = 0;

    std::atomic<std::ostream *> traceOut;
};

#endif // VEXORAPI_INPUTREPORTSPARSER_H
