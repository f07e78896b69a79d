// Opening the case form when the five master lists hold 10,000 names each: the form fills nine
// combo boxes (three anesthesiologists, three supervisors, ward, room, department), six of them
// sorted, on every opening. The whole opening is timed, from the call to the window shown and
// closed again. Run with QT_QPA_PLATFORM=offscreen.

#include "entry/CaseFormDlg.h"
#include "framework/ui/Dialog.h"
#include "framework/ui/Window.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

// Names in kanji, kana and half-width kana, a few of them twice.
CString generatedName(std::mt19937& random) {
    static const char* const pieces[] = {"山",   "田",   "佐", "藤", "鈴", "木", "たろう", "ﾀﾛｳ",
                                         "花子", "ｲﾁﾛｳ", "一", "郎", "高", "橋", "ア",     "ｶﾞ"};
    std::string utf8;
    for (int k = 0, n = 2 + int(random() % 4); k < n; ++k) {
        utf8 += pieces[random() % std::size(pieces)];
    }
    CString name;
    CString::FromUtf8(utf8, name);
    return name;
}

CQuellmarkDoc& documentWithLongLists() {
    static CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    static const bool filled = [] {
        std::mt19937 random(16);
        for (CStringArray* list :
             {&doc.GetAnesthesiologistList(), &doc.GetSupervisorList(), &doc.GetWardList(),
              &doc.GetRoomList(), &doc.GetDepartmentList()}) {
            for (int i = 0; i < 10000; ++i) {
                list->Add(generatedName(random));
            }
        }
        return true;
    }();
    static_cast<void>(filled);
    return doc;
}

void BM_OpenCaseFormWithFiveListsOf10000(benchmark::State& state) {
    CQuellmarkDoc& doc = documentWithLongLists();
    for (auto _ : state) {
        fw::PostTask([] {
            if (fw::CDialog* form = fw::ActiveDialog()) {
                form->EndDialog(fw::kIdCancel);
            }
        });
        entry::RunNewCase(doc);
    }
}
BENCHMARK(BM_OpenCaseFormWithFiveListsOf10000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    fw::InitApplication(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
