// The field reader's throughput over a 10 MB launch list of typical records, against the floor
// of touching the same bytes once: a scan for line ends. One iteration is one pass over the
// whole text, as the load makes two of (count, then fill); the reader fills two scratch strings
// as the counting pass does.
#include "app/errors.h"
#include "launcher/field_reader.h"
#include "records.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const std::string& Text() {
    static const std::string text = pikorina::bench::MakeRecordsOfSize(10u << 20);
    return text;
}

void LineEndsMemchr(benchmark::State& state) {
    const std::string& text = Text();
    for (auto _ : state) {
        std::size_t lines = 0;
        const char* p = text.data();
        const char* const end = p + text.size();
        while ((p = static_cast<const char*>(std::memchr(p, '\n', end - p))) != nullptr) {
            ++lines;
            ++p;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(LineEndsMemchr)->Unit(benchmark::kMillisecond);

void LineEndsFind(benchmark::State& state) {
    const std::string& text = Text();
    for (auto _ : state) {
        std::size_t lines = 0;
        auto p = text.begin();
        while ((p = std::find(p, text.end(), '\n')) != text.end()) {
            ++lines;
            ++p;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(LineEndsFind)->Unit(benchmark::kMillisecond);

void FieldReaderPass(benchmark::State& state) {
    const std::string& text = Text();
    std::size_t records = 0;
    for (auto _ : state) {
        pikorina::FieldReader reader(text, "Setup.ini");
        std::string name, command;
        records = 0;
        while (!reader.AtEnd()) {
            reader.ReadRecord(name, command);
            ++records;
        }
        benchmark::DoNotOptimize(records);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["records"] = static_cast<double>(records);
}
BENCHMARK(FieldReaderPass)->Unit(benchmark::kMillisecond);

// The load's first pass only counts the records: boundaries, no copies.
void FieldReaderCountingPass(benchmark::State& state) {
    const std::string& text = Text();
    std::size_t records = 0;
    for (auto _ : state) {
        pikorina::FieldReader reader(text, "Setup.ini");
        records = 0;
        while (!reader.AtEnd()) {
            reader.SkipRecord();
            ++records;
        }
        benchmark::DoNotOptimize(records);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["records"] = static_cast<double>(records);
}
BENCHMARK(FieldReaderCountingPass)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
