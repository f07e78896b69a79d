// What keeping a confirmed change costs: one case entry appended to the journal and synced,
// with a registry of a million cases loaded; and the hash that names the data file.
//
//   JournalBench

#include "framework/Hash64.h"
#include "registry/Journal.h"
#include "registry/QuellmarkDoc.h"
#include "support/CaseBuilder.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void BM_AppendCaseAndSync(benchmark::State& state) {
    static testing_support::TempDir dir;
    static CQuellmarkDoc doc = [] {
        CQuellmarkDoc d(CQuellmarkDoc::NoFile{}, dir.Path() + "/vora.dat");
        testing_support::FillDocument(d, 1000000, 42, testing_support::Spread::TwentyYears);
        return d;
    }();
    doc.GetJournal().Enable(doc.GetDataFilePath(), [](const CString&) { std::abort(); });
    doc.GetJournal().SetBase(doc.GetFileIdentity());
    int index = 0;
    for (auto _ : state) {
        const registry::JournalEntry entry =
            registry::CaseChangeEntry(doc, index++ % doc.GetRecordCount(), false, false);
        if (!doc.GetJournal().Append(entry)) {
            state.SkipWithError("append failed");
        }
    }
    doc.GetJournal().Discard();
}
BENCHMARK(BM_AppendCaseAndSync)->Unit(benchmark::kMillisecond)->Iterations(200);

} // namespace

// The hash that names the data file as loaded runs over every byte of it: 350 MB must cost
// well under 0.1 s.
void BM_HashOf350MB(benchmark::State& state) {
    const std::string bytes(std::size_t(1) << 26, '\x5A');
    for (auto _ : state) {
        fw::Hash64 hash;
        for (int i = 0; i < 5; ++i) { // 5 x 64 MiB, in the loader's 64 KiB pieces
            for (std::size_t at = 0; at < bytes.size(); at += 65536) {
                hash.Update(bytes.data() + at, 65536);
            }
        }
        benchmark::DoNotOptimize(hash.Digest());
    }
}
BENCHMARK(BM_HashOf350MB)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
