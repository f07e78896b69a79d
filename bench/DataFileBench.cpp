// Speed and memory of the data file and of adding and replacing cases, on registries of a
// million realistic cases: one whose surgery dates span twenty years (about 7,300 distinct
// dates), and one with nearly every date a 32-bit time holds and many-valued IDs, kana, ages,
// diseases, procedures, departments and people.
//
//   DataFileBench                         timings (Google Benchmark)
//   DataFileBench --peak-memory FILE      loads FILE and prints peak memory against file size,
//                                         then again once every index is sorted
//   DataFileBench --make-file FILE [N] [distinct]
//                                         writes a data file of N realistic cases (twenty years,
//                                         or with distinct: nearly all dates distinct)

#include "framework/LargeBlock.h"
#include "registry/QuellmarkDoc.h"
#include "support/CaseBuilder.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
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

// With every index sorted, so that adding and replacing keep all twelve in order: the most
// they ever do.
CQuellmarkDoc& bigDoc() {
    static CQuellmarkDoc doc = [] {
        CQuellmarkDoc loaded(bigFile(Spread::TwentyYears).path);
        benchmark::DoNotOptimize(loaded.GetSortIndexEntry(registry::kKeyAge, 0));
        return loaded;
    }();
    return doc;
}

// What any loader must at least do, done the fastest simple way: the whole file in one read,
// then every byte through the unscrambling table in a loop the compiler keeps tight. The buffer
// comes from the ordinary heap, or, as the loader's large arrays do, from fw::AllocateLarge
// (large pages); the faster of the two is the yardstick. Returns the seconds it took; the
// buffer is freed afterwards, outside the time.
double plainReadAndUnscramble(const std::string& path, std::uint64_t bytes, bool largePages) {
    unsigned char table[256];
    for (int b = 0; b < 256; ++b) {
        table[b] = CQuellmarkDoc::ScrambleByte(static_cast<unsigned char>(b));
    }
    const auto start = std::chrono::steady_clock::now();
    auto* p =
        static_cast<unsigned char*>(largePages ? fw::AllocateLarge(bytes) : ::operator new(bytes));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f || std::fread(p, 1, bytes, f) != bytes) {
        std::abort();
    }
    std::fclose(f);
    for (std::uint64_t i = 0; i < bytes; ++i) {
        p[i] = table[p[i]];
    }
    benchmark::DoNotOptimize(p);
    benchmark::ClobberMemory();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (largePages) {
        fw::FreeLarge(p, bytes);
    } else {
        ::operator delete(p);
    }
    return took.count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void BM_PlainReadAndUnscramble(benchmark::State& state, Spread spread, bool largePages) {
    const BigFile& big = bigFile(spread);
    for (auto _ : state) {
        state.SetIterationTime(plainReadAndUnscramble(big.path, big.bytes, largePages));
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * big.bytes));
}
BENCHMARK_CAPTURE(BM_PlainReadAndUnscramble, twenty_years, Spread::TwentyYears, false)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_PlainReadAndUnscramble, twenty_years_large_pages, Spread::TwentyYears, true)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

// Each load is paired with both plain passes over the same file right before it, so that all
// three see the same machine; the counters give their medians and the ratio of the load's
// median to the faster plain pass's.
void BM_Load(benchmark::State& state, Spread spread) {
    const BigFile& big = bigFile(spread);
    std::vector<double> plain;
    std::vector<double> plainLarge;
    std::vector<double> load;
    for (auto _ : state) {
        state.PauseTiming();
        plain.push_back(plainReadAndUnscramble(big.path, big.bytes, false));
        plainLarge.push_back(plainReadAndUnscramble(big.path, big.bytes, true));
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        auto doc = std::make_unique<CQuellmarkDoc>(big.path);
        benchmark::DoNotOptimize(doc->GetRecordCount());
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        load.push_back(took.count());
        // Freeing the cases happens at exit, not while the user waits for the list.
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * big.bytes));
    const double yardstick = std::min(median(plain), median(plainLarge));
    state.counters["plain_ms"] = median(plain) * 1000;
    state.counters["plain_large_ms"] = median(plainLarge) * 1000;
    state.counters["load_ms"] = median(load) * 1000;
    state.counters["x_plain"] = median(load) / yardstick;
}
BENCHMARK_CAPTURE(BM_Load, twenty_years, Spread::TwentyYears)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(7);
BENCHMARK_CAPTURE(BM_Load, distinct_dates, Spread::Everything)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(7);

// The eleven indexes that only the data file holds are sorted when first asked for, which is
// the first save after loading: what that save takes more than the others.
void BM_SortIndexesLeftByLoad(benchmark::State& state, Spread spread) {
    const BigFile& big = bigFile(spread);
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<CQuellmarkDoc>(big.path);
        state.ResumeTiming();
        benchmark::DoNotOptimize(doc->GetSortIndexEntry(registry::kKeyAge, 0));
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
}
BENCHMARK_CAPTURE(BM_SortIndexesLeftByLoad, twenty_years, Spread::TwentyYears)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_SortIndexesLeftByLoad, distinct_dates, Spread::Everything)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

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
        const bool distinct = argc >= 5 && std::strcmp(argv[4], "distinct") == 0;
        testing_support::FillDocument(doc, argc >= 4 ? std::atoi(argv[3]) : kCases, 42,
                                      distinct ? Spread::Everything : Spread::TwentyYears);
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
        // The indexes left for the first save, sorted as that save sorts them.
        benchmark::DoNotOptimize(doc.GetSortIndexEntry(registry::kKeyAge, 0));
        peakMb = double(peakKilobytes()) / 1024.0;
        std::printf("peak with every index sorted: %.1f MiB\nratio: %.2f\n", peakMb,
                    peakMb / fileMb);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
