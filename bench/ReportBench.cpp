// Speed of the society report and of the per-person counts on a registry of a million realistic
// cases, a tenth of them in the aggregation year.
//
//   ReportBench        timings (Google Benchmark)

#include "registry/QuellmarkDoc.h"
#include "report/PersonCount.h"
#include "report/SocietyReport.h"
#include "support/CaseBuilder.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <vector>

namespace {

constexpr int kCases = 1000000;
constexpr int kYear = 2005;

// Every tenth case in the aggregation year, every fiftieth with an incident, as a department
// that has kept its cases for decades.
CQuellmarkDoc& bigDoc() {
    static CQuellmarkDoc doc = [] {
        CQuellmarkDoc d(CQuellmarkDoc::NoFile{});
        std::mt19937 rng(42);
        std::vector<CCaseRecord> cases;
        cases.reserve(kCases);
        for (int i = 0; i < kCases; ++i) {
            CCaseRecord r = testing_support::RealisticCase(rng);
            const fw::LocalDate day = fw::LocalDateOf(r.GettSurgery());
            const int year = i % 10 == 0 ? kYear : day.year == kYear ? kYear + 1 : day.year;
            r.SettSurgery(fw::MakeTime32(year, day.month, day.day, 10, 0, 0));
            if (i % 50 == 7) {
                const int row = d.AddIncident();
                d.SetIncidentValue(row, 0, 2);
                d.SetIncidentValue(row, 1, int(rng() % 23));
                d.SetIncidentValue(row, 5, int(rng() % 5));
                d.SetIncidentText(row, 1, "導入時"_sj);
                r.SetnIncidentIndex(row);
            }
            cases.push_back(std::move(r));
        }
        d.AddRecords(std::move(cases));
        return d;
    }();
    return doc;
}

// Counting, building the text and checking every line: all a run does before it writes.
void BM_SocietyReportBuildAndCheck(benchmark::State& state) {
    const CQuellmarkDoc& doc = bigDoc();
    std::size_t lines = 0;
    for (auto _ : state) {
        report::ReportTally tally = report::TallyYear(doc, kYear);
        const CString text =
            report::BuildReportText(doc, report::HospitalInfoOf(doc), tally, {1200, 1.5f});
        lines = tally.incidentCases.size() + tally.plainCases.size();
        benchmark::DoNotOptimize(text.GetLength());
        benchmark::DoNotOptimize(tally.abnormal.size());
    }
    state.counters["cases of the year"] = double(lines);
}
BENCHMARK(BM_SocietyReportBuildAndCheck)->Unit(benchmark::kMillisecond)->Iterations(5);

// The whole run with the file written safely (when no case is abnormal) and the display text.
void BM_SocietyReportRun(benchmark::State& state) {
    const CQuellmarkDoc& doc = bigDoc();
    testing_support::TempDir dir;
    for (auto _ : state) {
        auto shown = report::RunSocietyReport(
            doc, kYear, [](const report::ReportTally&, report::AnnualFigures&) { return true; },
            dir.Path());
        benchmark::DoNotOptimize(shown->GetLength());
    }
}
BENCHMARK(BM_SocietyReportRun)->Unit(benchmark::kMillisecond)->Iterations(5);

void countsFor(benchmark::State& state, report::PersonQuery query) {
    const CQuellmarkDoc& doc = bigDoc();
    for (auto _ : state) {
        const report::PersonCounts counts = report::CountPersonCases(doc, query);
        benchmark::DoNotOptimize(counts.methodInCharge[0]);
    }
}

void BM_PersonCountsContains(benchmark::State& state) {
    countsFor(state, {"青木"_sj, false, 0, 0});
}
BENCHMARK(BM_PersonCountsContains)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_PersonCountsEqualsOverAPeriod(benchmark::State& state) {
    countsFor(state, {"石井"_sj, true, fw::PackDate({2000, 4, 1}), fw::PackDate({2020, 3, 31})});
}
BENCHMARK(BM_PersonCountsEqualsOverAPeriod)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

BENCHMARK_MAIN();
