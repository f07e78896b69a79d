// Speed of the conversion between cp932 and UTF-8 on every text of a registry of a million
// realistic cases (23 texts each: names, kana, diseases, procedures, people, IDs, times, most
// of them short, many ASCII or empty), as the department's server is loaded and written, in
// both directions, against iconv alone with one call per text.
//
//   CodecBench                                  timings (Google Benchmark)
//   CodecBench --benchmark_filter=Iconv         the reference alone

#include "framework/Codec.h"
#include "framework/Cp932Tables.h"
#include "framework/String.h"
#include "registry/QuellmarkDoc.h"
#include "support/CaseBuilder.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kCases = 1000000;

// Many texts in one block, each up to where the next begins.
struct Texts {
    std::string bytes;
    std::vector<std::uint32_t> ends;

    std::size_t size() const { return ends.size(); }
    std::string_view operator[](std::size_t i) const {
        const std::uint32_t begin = i ? ends[i - 1] : 0;
        return std::string_view(bytes).substr(begin, ends[i] - begin);
    }
    void add(std::string_view text) {
        bytes += text;
        ends.push_back(std::uint32_t(bytes.size()));
    }
};

struct RegistryTexts {
    Texts cp932;
    Texts utf8;
};

const RegistryTexts& registryTexts() {
    static const RegistryTexts* texts = [] {
        auto* t = new RegistryTexts;
        CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
        testing_support::FillDocument(doc, kCases, 42);
        std::string utf8;
        for (int i = 0; i < doc.GetRecordCount(); ++i) {
            for (int slot = 0; slot < registry::CaseTexts::kCount; ++slot) {
                const std::string_view text = doc.RecordAt(i).Texts().View(slot);
                t->cp932.add(text);
                utf8.clear();
                fw::AppendCp932ToUtf8ByIconv(utf8, text);
                t->utf8.add(utf8);
            }
        }
        return t;
    }();
    return *texts;
}

void counters(benchmark::State& state, const Texts& from) {
    state.SetItemsProcessed(std::int64_t(state.iterations() * from.size()));
    state.SetBytesProcessed(std::int64_t(state.iterations() * from.bytes.size()));
    state.counters["texts"] = double(from.size());
    state.counters["MiB"] = double(from.bytes.size()) / 1048576.0;
}

// Each conversion appends to one buffer that is emptied before each text, as a loader does.
template <class Convert> void toUtf8(benchmark::State& state, Convert convert) {
    const Texts& from = registryTexts().cp932;
    std::string out;
    for (auto _ : state) {
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < from.size(); ++i) {
            out.clear();
            convert(out, from[i]);
            bytes += out.size();
        }
        benchmark::DoNotOptimize(bytes);
    }
    counters(state, from);
}

template <class Convert> void toCp932(benchmark::State& state, Convert convert) {
    const Texts& from = registryTexts().utf8;
    std::string out;
    for (auto _ : state) {
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < from.size(); ++i) {
            out.clear();
            if (!convert(out, from[i])) {
                state.SkipWithError("a registry text has no cp932 form");
                return;
            }
            bytes += out.size();
        }
        benchmark::DoNotOptimize(bytes);
    }
    counters(state, from);
}

// The yardstick: each text copied into the buffer as it is.
void BM_CopyOnly(benchmark::State& state) {
    toUtf8(state, [](std::string& out, std::string_view text) { out.append(text); });
}
BENCHMARK(BM_CopyOnly)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ToUtf8(benchmark::State& state) {
    toUtf8(state,
           [](std::string& out, std::string_view text) { fw::AppendCp932ToUtf8(out, text); });
}
BENCHMARK(BM_ToUtf8)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ToUtf8Iconv(benchmark::State& state) {
    toUtf8(state, [](std::string& out, std::string_view text) {
        fw::AppendCp932ToUtf8ByIconv(out, text);
    });
}
BENCHMARK(BM_ToUtf8Iconv)->Unit(benchmark::kMillisecond)->Iterations(3);

// A new std::string for each text, as CString::ToUtf8 gives it.
void BM_ToUtf8NewString(benchmark::State& state) {
    const Texts& from = registryTexts().cp932;
    for (auto _ : state) {
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < from.size(); ++i) {
            bytes += fw::Cp932ToUtf8(from[i]).size();
        }
        benchmark::DoNotOptimize(bytes);
    }
    counters(state, from);
}
BENCHMARK(BM_ToUtf8NewString)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ToCp932(benchmark::State& state) {
    toCp932(state, [](std::string& out, std::string_view text) {
        return fw::AppendUtf8ToCp932(out, text);
    });
}
BENCHMARK(BM_ToCp932)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ToCp932Iconv(benchmark::State& state) {
    toCp932(state, [](std::string& out, std::string_view text) {
        return fw::AppendUtf8ToCp932ByIconv(out, text);
    });
}
BENCHMARK(BM_ToCp932Iconv)->Unit(benchmark::kMillisecond)->Iterations(3);

// Into the CString a case holds, as a loader from the server fills the registry.
void BM_ToCp932CString(benchmark::State& state) {
    const Texts& from = registryTexts().utf8;
    CString text;
    for (auto _ : state) {
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < from.size(); ++i) {
            if (!CString::FromUtf8(from[i], text)) {
                state.SkipWithError("a registry text has no cp932 form");
                return;
            }
            bytes += std::size_t(text.GetLength());
        }
        benchmark::DoNotOptimize(bytes);
    }
    counters(state, from);
}
BENCHMARK(BM_ToCp932CString)->Unit(benchmark::kMillisecond)->Iterations(5);

// The first conversions of a program: new tables, which ask iconv for every page the
// registry's texts need as they come to them.
void BM_FirstUse(benchmark::State& state) {
    const RegistryTexts& texts = registryTexts();
    std::string out;
    for (auto _ : state) {
        auto tables = std::make_unique<fw::Cp932Tables>();
        for (std::size_t i = 0; i < texts.utf8.size(); ++i) {
            out.clear();
            benchmark::DoNotOptimize(tables->AppendUtf8ToCp932(out, texts.utf8[i]));
        }
        for (std::size_t i = 0; i < texts.cp932.size(); ++i) {
            out.clear();
            tables->AppendCp932ToUtf8(out, texts.cp932[i], nullptr);
        }
        state.PauseTiming();
        tables.reset();
        state.ResumeTiming();
    }
    counters(state, texts.cp932);
}
BENCHMARK(BM_FirstUse)->Unit(benchmark::kMillisecond)->Iterations(3);

// What asking iconv costs at most without characters beyond U+FFFF: new tables asked for
// every page of double-byte codes and every page of code points below U+10000.
void BM_AskEveryPage(benchmark::State& state) {
    std::vector<std::string> cp932;
    for (int lead = 0x80; lead < 0x100; ++lead) {
        cp932.push_back(std::string{char(lead), '\x40'});
    }
    std::vector<std::string> utf8;
    for (char32_t c = 0x80; c < 0x10000; c += 0x100) {
        utf8.push_back(c < 0x800 ? std::string{char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))}
                                 : std::string{char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)),
                                               char(0x80 | (c & 0x3F))});
    }
    std::string out;
    for (auto _ : state) {
        auto tables = std::make_unique<fw::Cp932Tables>();
        for (const std::string& text : cp932) {
            out.clear();
            tables->AppendCp932ToUtf8(out, text, nullptr);
        }
        for (const std::string& text : utf8) {
            out.clear();
            benchmark::DoNotOptimize(tables->AppendUtf8ToCp932(out, text));
        }
    }
}
BENCHMARK(BM_AskEveryPage)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
