// Speed of the patient list exports, the CSV file and the workbook, on a registry of a million
// realistic cases. The workbook's runs give processor time beside wall time, since the
// machine is shared.
//
//   CsvExportBench                                   timings (Google Benchmark)
//   CsvExportBench --benchmark_filter=Workbook       the workbook's alone

#include "registry/CsvExport.h"
#include "registry/WorkbookExport.h"
#include "support/CaseBuilder.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace {

constexpr int kCases = 1000000;

CQuellmarkDoc& bigDoc() {
    static CQuellmarkDoc* doc = [] {
        auto* d = new CQuellmarkDoc(CQuellmarkDoc::NoFile{});
        testing_support::FillDocument(*d, kCases, 42);
        return d;
    }();
    return *doc;
}

// Takes the bytes and keeps only their count: the formatting alone.
class CountingFile final : public fw::CFile {
public:
    std::size_t Read(void*, std::size_t) override { return 0; }
    void Write(const void*, std::size_t n) override { m_bytes += n; }
    std::uint64_t GetLength() const override { return m_bytes; }
    const std::string& GetFilePath() const override { return m_name; }

private:
    std::string m_name = "count";
    std::uint64_t m_bytes = 0;
};

void BM_FormatOnly(benchmark::State& state) {
    const CQuellmarkDoc& doc = bigDoc();
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        CountingFile file;
        registry::WriteCaseList(doc, file);
        bytes = file.GetLength();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * bytes));
    state.counters["MiB"] = double(bytes) / 1048576.0;
}
BENCHMARK(BM_FormatOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole export as the menu runs it: temporary file, sync, rename.
void BM_ExportToFile(benchmark::State& state) {
    const CQuellmarkDoc& doc = bigDoc();
    testing_support::TempDir dir;
    const std::string path = dir.Path() + "/vora_list.csv";
    for (auto _ : state) {
        if (!registry::ExportCaseList(doc, path)) {
            state.SkipWithError("export failed");
        }
    }
}
BENCHMARK(BM_ExportToFile)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole workbook export as the menu runs it: temporary file, sync, rename.
void BM_WorkbookExport(benchmark::State& state) {
    const CQuellmarkDoc& doc = bigDoc();
    testing_support::TempDir dir;
    const std::string path = dir.Path() + "/vora_list.xlsx";
    for (auto _ : state) {
        CString error;
        if (!registry::ExportWorkbook(doc, path, &error)) {
            state.SkipWithError(error.ToUtf8().c_str());
        }
    }
    struct stat st {};
    ::stat(path.c_str(), &st);
    state.counters["MiB"] = double(st.st_size) / 1048576.0;
}
BENCHMARK(BM_WorkbookExport)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The texts of a million cases as the workbook holds them: the conversion alone.
void BM_WorkbookTextsOnly(benchmark::State& state) {
    const CQuellmarkDoc& doc = bigDoc();
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (int i = 0; i < doc.GetRecordCount(); ++i) {
            const CCaseRecord& r = doc.RecordAt(i);
            for (CCaseRecord::TextSlot slot :
                 {CCaseRecord::kstrName, CCaseRecord::kstrKana, CCaseRecord::kstrDisease,
                  CCaseRecord::kstrProcedure, CCaseRecord::kstrNotes}) {
                bytes += registry::WorkbookText(r.TextView(slot)).size();
            }
        }
    }
    state.counters["MiB"] = double(bytes) / 1048576.0;
}
BENCHMARK(BM_WorkbookTextsOnly)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
