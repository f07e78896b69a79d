// Speed and memory of the data file and of adding and replacing cases, on registries of a
// million realistic cases: one whose surgery dates span twenty years (about 7,300 distinct
// dates), and one with nearly every date a 32-bit time holds and many-valued IDs, kana, ages,
// diseases, procedures, departments and people.
//
//   DataFileBench                         timings (Google Benchmark)
//   DataFileBench --peak-memory FILE      loads FILE and prints peak memory against file size
//   DataFileBench --make-file FILE [N]    writes a data file of N realistic cases (twenty years)

#include "registry/QuellmarkDoc.h"
#include "support/CaseBuilder.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using testing_support::Spread;

constexpr int kCases = 1000000;

struct BigFile {
    testing_support::TempDir dir;
    std::string path = dir.Path() + "/vora.dat";
    std::uint64_t bytes = 0;
    explicit BigFile(Spread spread) {
        CQuellmarkDoc doc(CQuellmarkDoc::NoFile{}, path);
        testing_support::FillDocument(doc, kCases, 42, spread);
        if (!doc.SaveDataFile()) {
            std::abort();
        }
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        bytes = std::uint64_t(in.tellg());
    }
};

BigFile& bigFile(Spread spread) {
    static std::map<Spread, std::unique_ptr<BigFile>> files;
    std::unique_ptr<BigFile>& file = files[spread];
    if (!file) {
        file = std::make_unique<BigFile>(spread);
    }
    return *file;
}

CQuellmarkDoc& bigDoc() {
    static CQuellmarkDoc doc(bigFile(Spread::TwentyYears).path);
    return doc;
}

// What any loader must at least do: read the bytes and unscramble them.
void BM_PlainReadAndUnscramble(benchmark::State& state, Spread spread) {
    const BigFile& big = bigFile(spread);
    std::vector<char> buffer(1 << 16);
    for (auto _ : state) {
        std::FILE* f = std::fopen(big.path.c_str(), "rb");
        unsigned sum = 0;
        std::size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) {
            for (std::size_t i = 0; i < n; ++i) {
                sum += CQuellmarkDoc::ScrambleByte(static_cast<unsigned char>(buffer[i]));
            }
        }
        std::fclose(f);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * big.bytes));
}
BENCHMARK_CAPTURE(BM_PlainReadAndUnscramble, twenty_years, Spread::TwentyYears)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_PlainReadAndUnscramble, distinct_dates, Spread::Everything)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_Load(benchmark::State& state, Spread spread) {
    const BigFile& big = bigFile(spread);
    for (auto _ : state) {
        auto doc = std::make_unique<CQuellmarkDoc>(big.path);
        benchmark::DoNotOptimize(doc->GetRecordCount());
        // Freeing the cases happens at exit, not while the user waits for the list.
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * big.bytes));
}
BENCHMARK_CAPTURE(BM_Load, twenty_years, Spread::TwentyYears)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_Load, distinct_dates, Spread::Everything)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_Save(benchmark::State& state) {
    CQuellmarkDoc& doc = bigDoc();
    for (auto _ : state) {
        if (!doc.SaveDataFile()) {
            state.SkipWithError("save failed");
        }
    }
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_AddRecord(benchmark::State& state) {
    CQuellmarkDoc& doc = bigDoc();
    std::mt19937 rng(5);
    for (auto _ : state) {
        state.PauseTiming();
        CCaseRecord r = testing_support::RealisticCase(rng, Spread::TwentyYears);
        state.ResumeTiming();
        doc.AddRecord(r);
    }
}
BENCHMARK(BM_AddRecord)->Unit(benchmark::kMicrosecond)->Iterations(200);

// A case dated today lands at the top of the date index: the worst move.
void BM_AddNewestRecord(benchmark::State& state) {
    CQuellmarkDoc& doc = bigDoc();
    std::mt19937 rng(6);
    for (auto _ : state) {
        state.PauseTiming();
        CCaseRecord r = testing_support::RealisticCase(rng, Spread::TwentyYears);
        r.SettSurgery(fw::MakeTime32(2037, 12, 31, 10, 0, 0));
        state.ResumeTiming();
        doc.AddRecord(r);
    }
}
BENCHMARK(BM_AddNewestRecord)->Unit(benchmark::kMicrosecond)->Iterations(200);

void BM_ReplaceRecord(benchmark::State& state) {
    CQuellmarkDoc& doc = bigDoc();
    std::mt19937 rng(7);
    for (auto _ : state) {
        state.PauseTiming();
        int index = int(rng() % unsigned(doc.GetRecordCount()));
        CCaseRecord r = testing_support::RealisticCase(rng, Spread::TwentyYears);
        state.ResumeTiming();
        doc.ReplaceRecord(index, r);
    }
}
BENCHMARK(BM_ReplaceRecord)->Unit(benchmark::kMicrosecond)->Iterations(200);

long peakKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--make-file") == 0) {
        CQuellmarkDoc doc(CQuellmarkDoc::NoFile{}, argv[2]);
        testing_support::FillDocument(doc, argc >= 4 ? std::atoi(argv[3]) : kCases, 42,
                                      Spread::TwentyYears);
        return doc.SaveDataFile() ? 0 : 1;
    }
    if (argc >= 3 && std::strcmp(argv[1], "--peak-memory") == 0) {
        long before = peakKilobytes();
        CQuellmarkDoc doc(argv[2]);
        std::ifstream in(argv[2], std::ios::binary | std::ios::ate);
        double fileMb = double(in.tellg()) / 1048576.0;
        double peakMb = double(peakKilobytes()) / 1024.0;
        std::printf("cases: %d\nfile: %.1f MiB\npeak before load: %.1f MiB\n"
                    "peak after load: %.1f MiB\nratio: %.2f\n",
                    doc.GetRecordCount(), fileMb, double(before) / 1024.0, peakMb, peakMb / fileMb);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
