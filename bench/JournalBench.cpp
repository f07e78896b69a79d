// What keeping a confirmed change costs: one case entry appended to the journal and synced,
// with a registry of a million cases loaded.
//
//   JournalBench

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

BENCHMARK_MAIN();
