// Speed of the case list on a registry of a million cases: rebuilding the rows for an open
// period, for one year, for one year with five text criteria and for all cases by their ID, and
// repainting the image at 1920 × 1080, which must not grow with the number of cases. Run with
// QT_QPA_PLATFORM=offscreen.

#include "app/MainFrame.h"
#include "framework/ui/Window.h"
#include "listview/QuellmarkView.h"
#include "support/CaseBuilder.h"

#include <benchmark/benchmark.h>

#include <memory>

using namespace registry;

namespace {

struct ListFixture {
    CQuellmarkDoc doc{CQuellmarkDoc::NoFile{}};
    std::unique_ptr<CQuellmarkView> view;
    CMainFrame frame;

    explicit ListFixture(int cases) {
        testing_support::FillDocument(doc, cases, 8);
        listview::ViewCommands commands;
        commands.login = [](int& generalUser) {
            generalUser = 0;
            return true;
        };
        view = std::make_unique<CQuellmarkView>(doc, commands);
        frame.Create(*view);
        frame.Show();
        frame.SetClientSize(1920, 1080);
        view->DoLogin();
    }
};

ListFixture& registryOf(int cases) {
    static ListFixture big(1000000);
    static ListFixture small(1000);
    return cases == 1000 ? small : big;
}

void BM_RebuildRowsOpenPeriod(benchmark::State& state) {
    CQuellmarkView& view = *registryOf(1000000).view;
    view.m_tStart = 0;
    view.m_tEnd = 0;
    for (auto _ : state) {
        view.RebuildRows();
    }
    state.counters["rows"] = view.GetRowCount();
}
BENCHMARK(BM_RebuildRowsOpenPeriod)->Unit(benchmark::kMillisecond);

void BM_RebuildRowsOneYear(benchmark::State& state) {
    CQuellmarkView& view = *registryOf(1000000).view;
    view.m_tStart = fw::MakeTime32(2010, 1, 1, 12, 0, 0);
    view.m_tEnd = fw::MakeTime32(2010, 12, 31, 12, 0, 0);
    for (auto _ : state) {
        view.RebuildRows();
    }
    state.counters["rows"] = view.GetRowCount();
    view.m_tStart = 0;
    view.m_tEnd = 0;
    view.RebuildRows();
}
BENCHMARK(BM_RebuildRowsOneYear)->Unit(benchmark::kMillisecond);

CString fromUtf8(const char* utf8) {
    CString text;
    CString::FromUtf8(utf8, text);
    return text;
}

// One year and five text criteria, chosen so that most cases of the year are tested against
// several of them: every name and kana holds a space, every department a 科.
void BM_RebuildRowsOneYearFiveTexts(benchmark::State& state) {
    CQuellmarkView& view = *registryOf(1000000).view;
    view.m_tStart = fw::MakeTime32(2010, 1, 1, 12, 0, 0);
    view.m_tEnd = fw::MakeTime32(2010, 12, 31, 12, 0, 0);
    view.m_filter.nMask = kNoFilter | kFilterPatient | kFilterDepartment | kFilterWard |
                          kFilterAnesthesiologist | kFilterNotes;
    view.m_filter.nPatientField = 1;
    view.m_filter.strPatientText = fromUtf8(" ");
    view.m_filter.strDepartment = fromUtf8("科");
    view.m_filter.strWard = fromUtf8("東");
    view.m_filter.strAnesthesiologist = fromUtf8("青木");
    view.m_filter.strNotes = fromUtf8("術後");
    for (auto _ : state) {
        view.RebuildRows();
    }
    state.counters["rows"] = view.GetRowCount();
    view.m_tStart = 0;
    view.m_tEnd = 0;
    view.m_filter = CaseFilter{};
    view.RebuildRows();
}
BENCHMARK(BM_RebuildRowsOneYearFiveTexts)->Unit(benchmark::kMillisecond);

// Every case of the registry tested by its ID, compared without regard to width.
void BM_RebuildRowsPatientId(benchmark::State& state) {
    CQuellmarkView& view = *registryOf(1000000).view;
    view.m_tStart = 0;
    view.m_tEnd = 0;
    view.m_filter.nMask = kNoFilter | kFilterPatient;
    view.m_filter.nPatientField = 0;
    view.m_filter.strPatientText = fromUtf8("12");
    for (auto _ : state) {
        view.RebuildRows();
    }
    state.counters["rows"] = view.GetRowCount();
    view.m_filter = CaseFilter{};
    view.RebuildRows();
}
BENCHMARK(BM_RebuildRowsPatientId)->Unit(benchmark::kMillisecond);

void BM_RedrawImage(benchmark::State& state) {
    CQuellmarkView& view = *registryOf(int(state.range(0))).view;
    view.RebuildRows();
    for (auto _ : state) {
        view.RedrawImage();
    }
    state.counters["rows"] = view.GetRowCount();
}
BENCHMARK(BM_RedrawImage)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    fw::InitApplication(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
