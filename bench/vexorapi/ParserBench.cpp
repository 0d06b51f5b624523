// Throughput of the input report parser: reports and records decoded per
// second, with the trace line per report switched off and written to a file.
//
//   vexor_parser_bench [Google Benchmark options]
#include "BaseDataEvents.h"
#include "IRawData.h"
#include "InputReportsParser.h"
#include "RawDataElement.h"

#include <VexorAPI/IVoteSessionMutators.h>
#include <VexorAPI/VoteElement.h>

#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace {

constexpr int batch = 1000;
using Report = std::array<unsigned char, InputReportsParser::reportLength>;

class CountingMutators : public IVoteSessionMutators
{
public:
    CountingMutators() : IVoteSessionMutators(0, 0, &prototype) {}
    void addVote(IVoteElement *vote) override
    {
        delete vote;
        ++votes;
    }
    void voteStateChanged(int) override {}
    void recordSequenceGap() override {}
    void reportSequenceGap() override {}

    long votes = 0;

private:
    VoteElement prototype;
};

// Twelve choice records: the most a report holds.
Report choiceReport(unsigned char sequence)
{
    Report report{0x02, 0x30, sequence, 60};
    for (int i = 0; i < 12; ++i) {
        const std::size_t at = 4 + 5 * static_cast<std::size_t>(i);
        report[at] = 0x81;
        report[at + 3] = static_cast<unsigned char>(i);
        report[at + 4] = static_cast<unsigned char>(sequence * 12 + i);
    }
    return report;
}

// One numeric and two alphanumeric records.
Report entryReport(unsigned char sequence)
{
    Report report{0x02, 0x30, sequence, 44, 0x87, 0, 0, 1, 0x34, 0x56, 0x78, 0x9A, 0x07};
    report[13] = static_cast<unsigned char>(sequence * 3);
    const std::array<unsigned char, 12> eight{0x88, 0, 0, 2, 3, 4, 0xA3, 5, 6, 7, 8, 9};
    std::copy(eight.begin(), eight.end(), report.begin() + 14);
    report[26] = static_cast<unsigned char>(sequence * 3 + 1);
    report[27] = 0x8B;
    for (std::size_t i = 31; i < 47; ++i)
        report[i] = 0x10;
    report[47] = static_cast<unsigned char>(sequence * 3 + 2);
    return report;
}

void parse(benchmark::State &state, Report (*make)(unsigned char), bool traceToFile)
{
    const Report zeros{};
    RawDataElement prototype(zeros.data(), InputReportsParser::reportLength);
    IRawData rawData(&prototype);
    BaseDataEvents dataEvents;
    CountingMutators mutators;
    InputReportsParser parser(&rawData, &mutators, &dataEvents);
    const std::filesystem::path traceFile =
        std::filesystem::temp_directory_path() / "vexor_parser_bench_trace.txt";
    std::ofstream trace(traceFile);
    parser.setTrace(traceToFile ? &trace : nullptr);

    std::vector<Report> reports;
    for (int i = 0; i < 256; ++i)
        reports.push_back(make(static_cast<unsigned char>(i)));

    long parsed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < batch; ++i) {
            const Report &report = reports[static_cast<std::size_t>(parsed + i) % reports.size()];
            rawData.elements.push_back(prototype.create(report.data(), report.size()));
        }
        state.ResumeTiming();
        parser.parsePending();
        parsed += batch;
    }
    trace.close();
    std::filesystem::remove(traceFile);
    state.counters["reports/s"] =
        benchmark::Counter(static_cast<double>(parsed), benchmark::Counter::kIsRate);
    state.counters["records/s"] =
        benchmark::Counter(static_cast<double>(mutators.votes), benchmark::Counter::kIsRate);
}

void choicesTraceOff(benchmark::State &state)
{
    parse(state, choiceReport, false);
}
void choicesTraceToFile(benchmark::State &state)
{
    parse(state, choiceReport, true);
}
void entriesTraceOff(benchmark::State &state)
{
    parse(state, entryReport, false);
}
void entriesTraceToFile(benchmark::State &state)
{
    parse(state, entryReport, true);
}

} // namespace

BENCHMARK(choicesTraceOff);
BENCHMARK(choicesTraceToFile);
BENCHMARK(entriesTraceOff);
BENCHMARK(entriesTraceToFile);
BENCHMARK_MAIN();
