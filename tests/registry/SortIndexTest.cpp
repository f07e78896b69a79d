#include "registry/QuellmarkDoc.h"
#include "support/CaseBuilder.h"
#include "support/SortIndexReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <numeric>
#include <random>
#include <thread>

using namespace registry;

using testing_support::BlankCase;
using testing_support::DocumentIndex;
using testing_support::ReferenceIndexes;

namespace {

// The insertion rule word for word: count the other cases whose key is strictly greater, and
// put the case at that position. Quadratic, so for small registries only.
class LiteralIndexes {
public:
    void Add(const CCaseRecord& r) {
        m_cases.Add(r);
        for (int key = 1; key <= kSortKeyCount; ++key) {
            insert(key, m_cases.Count() - 1);
        }
    }
    void Replace(int index, const CCaseRecord& r) {
        m_cases.Replace(index, r);
        if (m_cases.Count() <= 1) {
            return;
        }
        for (int key = 1; key <= kSortKeyCount; ++key) {
            auto& list = m_index[std::size_t(key - 1)];
            list.erase(std::find(list.begin(), list.end(), index));
            insert(key, index);
        }
    }
    const std::vector<int>& Index(int key) const { return m_index[std::size_t(key - 1)]; }

private:
    void insert(int key, int index) {
        auto& list = m_index[std::size_t(key - 1)];
        int greater = 0;
        for (int other : list) {
            if (other != index && m_cases.Compare(key, other, index) > 0) {
                ++greater;
            }
        }
        list.insert(list.begin() + greater, index);
    }

    ReferenceIndexes m_cases; // for the cases and the key comparison only
    std::array<std::vector<int>, kSortKeyCount> m_index;
};

using Indexes = std::array<std::vector<int>, kSortKeyCount>;

void expectIndexes(const CQuellmarkDoc& doc, const Indexes& expected) {
    for (int key = 1; key <= kSortKeyCount; ++key) {
        ASSERT_EQ(DocumentIndex(doc, key), expected[std::size_t(key - 1)]) << "key " << key;
    }
}

// The indexes, and the index fields of the document's saved file.
void expectIndexesAndSavedFields(CQuellmarkDoc& doc, const ReferenceIndexes& reference) {
    const Indexes expected = reference.Indexes();
    ASSERT_NO_FATAL_FAILURE(expectIndexes(doc, expected));
    EXPECT_EQ(testing_support::SavedIndexMismatch(testing_support::StoredBytes(doc), expected), "");
}

CQuellmarkDoc loaded(const std::string& bytes) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    fw::CMemFile file(bytes);
    fw::CArchive ar(file, fw::CArchive::load);
    doc.Serialize(ar);
    return doc;
}

// How many distinct values each key takes: the counts around every limit of the builder and
// of earlier builders (64, a 64th and an eighth of the cases), one case per value, and one
// value for all. Rotating them over the keys gives every key every count.
constexpr int kRotations = 8;
// Insertion word for word is quadratic: registries up to this size only.
constexpr int kQuadraticCases = 200;

struct Distribution {
    int n;
    int rotation;
    std::uint32_t seed;
};

std::array<int, kSortKeyCount> distinctCounts(const Distribution& d) {
    const int counts[kRotations] = {1, 64, 65, d.n / 64, d.n / 64 + 1, d.n / 8, d.n / 8 + 1, d.n};
    std::array<int, kSortKeyCount> distinct{};
    for (int k = 0; k < kSortKeyCount; ++k) {
        distinct[std::size_t(k)] = counts[(k + d.rotation) % kRotations];
    }
    return distinct;
}

std::vector<CCaseRecord> casesOf(const Distribution& d) {
    return testing_support::CasesWithDistinctKeys(d.n, distinctCounts(d), d.seed);
}

std::string traceOf(const Distribution& d) {
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) about a literal
    // added to a temporary string.
    std::string s = "n ";
    s += std::to_string(d.n);
    s += ", distinct";
    for (int c : distinctCounts(d)) {
        s += ' ';
        s += std::to_string(c);
    }
    return s;
}

// Small registries in every rotation, and with a rotation given a large one (two cores from
// 50,000 cases), kept to one test so that the sanitizer build stays quick.
std::vector<Distribution> distributions(int largeRotation) {
    std::vector<Distribution> all;
    for (int rotation = 0; rotation < kRotations; ++rotation) {
        all.push_back({100, rotation, std::uint32_t(10 + rotation)});
        all.push_back({700, rotation, std::uint32_t(20 + rotation)});
    }
    if (largeRotation >= 0) {
        all.push_back({50000, largeRotation, std::uint32_t(30 + largeRotation)});
    }
    return all;
}

// Realistic registries: an ordinary department over a few years, twenty years, and one where
// nearly every key differs from case to case.
std::vector<CCaseRecord> realisticCases(int n, testing_support::Spread spread, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<CCaseRecord> cases;
    for (int i = 0; i < n; ++i) {
        cases.push_back(testing_support::RealisticCase(rng, spread));
    }
    return cases;
}

} // namespace

TEST(SortIndexReferenceTest, StableSortEqualsInsertionOneByOne) {
    for (const Distribution& d : distributions(-1)) {
        if (d.n > kQuadraticCases) {
            continue;
        }
        SCOPED_TRACE(traceOf(d));
        std::vector<CCaseRecord> pool = casesOf(d);
        std::mt19937 rng(d.seed);
        LiteralIndexes literal;
        ReferenceIndexes reference;
        for (std::size_t i = 0; i < pool.size(); ++i) {
            literal.Add(pool[i]);
            reference.Add(pool[i]);
            if (i % 3 == 0) {
                int index = int(rng() % (i + 1));
                const CCaseRecord& r = pool[rng() % pool.size()];
                literal.Replace(index, r);
                reference.Replace(index, r);
            }
        }
        for (int key = 1; key <= kSortKeyCount; ++key) {
            ASSERT_EQ(reference.Index(key), literal.Index(key)) << "key " << key;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Loading

TEST(SortIndexLoadTest, LoadedIndexesAreThoseOfInsertingInFileOrder) {
    for (const Distribution& d : distributions(0)) {
        SCOPED_TRACE(traceOf(d));
        std::vector<CCaseRecord> cases = casesOf(d);
        CQuellmarkDoc built(CQuellmarkDoc::NoFile{});
        built.AddRecords(cases);
        // Replaced cases leave index fields in the file that loading must not follow.
        built.ReplaceRecord(0, cases[std::size_t(d.n / 2)]);
        const std::string bytes = testing_support::StoredBytes(built);
        CQuellmarkDoc doc = loaded(bytes);
        cases[0] = cases[std::size_t(d.n / 2)];
        expectIndexesAndSavedFields(doc, ReferenceIndexes(cases));
    }
}

TEST(SortIndexLoadTest, AnUnchangedRegistrySavesToTheSameBytes) {
    using testing_support::Spread;
    const struct {
        int n;
        Spread spread;
    } registries[] = {
        {500, Spread::FewYears}, {3000, Spread::TwentyYears}, {3000, Spread::Everything}};
    for (const auto& registry : registries) {
        SCOPED_TRACE(registry.n);
        // Entered one case at a time, as the case form does.
        CQuellmarkDoc entered(CQuellmarkDoc::NoFile{});
        for (const CCaseRecord& r : realisticCases(registry.n, registry.spread, 7)) {
            entered.AddRecord(r);
        }
        const std::string bytes = testing_support::StoredBytes(entered);
        CQuellmarkDoc doc = loaded(bytes);
        ASSERT_EQ(testing_support::StoredBytes(doc), bytes);
        // The list starts with the newest surgery date.
        fw::PackedDate newest = doc.GetSurgeryDate(0);
        for (int i = 1; i < doc.GetRecordCount(); ++i) {
            newest = std::max(newest, doc.GetSurgeryDate(i));
        }
        ASSERT_GT(doc.BuildDisplayIndex(1, 0, 0), 0);
        EXPECT_EQ(doc.GetSurgeryDate(doc.GetDisplayIndexEntry(0)), newest);
    }
}

// ---------------------------------------------------------------------------------------------
// Adding

TEST(SortIndexAddTest, AddedCasesStandAsIfInsertedOneByOne) {
    for (const Distribution& d : distributions(-1)) {
        SCOPED_TRACE(traceOf(d));
        std::vector<CCaseRecord> pool = casesOf(d);
        const std::size_t third = pool.size() / 3;
        // A loaded registry, one correction, many cases at once, then one at a time.
        CQuellmarkDoc first(CQuellmarkDoc::NoFile{});
        first.AddRecords({pool.begin(), pool.begin() + std::ptrdiff_t(third)});
        CQuellmarkDoc doc = loaded(testing_support::StoredBytes(first));
        ReferenceIndexes reference({pool.begin(), pool.begin() + std::ptrdiff_t(third)});
        doc.ReplaceRecord(0, pool.back());
        reference.Replace(0, pool.back());
        std::vector<CCaseRecord> batch(pool.begin() + std::ptrdiff_t(third),
                                       pool.end() - std::ptrdiff_t(third));
        doc.AddRecords(batch);
        for (const CCaseRecord& r : batch) {
            reference.Add(r);
        }
        ASSERT_NO_FATAL_FAILURE(expectIndexes(doc, reference.Indexes()));
        // One at a time is quadratic: a few on a large registry.
        const std::size_t single = d.n > 10000 ? 20 : third;
        for (std::size_t i = pool.size() - third; i < pool.size() - third + single; ++i) {
            doc.AddRecord(pool[i]);
            reference.Add(pool[i]);
            if (d.n <= 10000 && i % 32 == 0) {
                ASSERT_NO_FATAL_FAILURE(expectIndexes(doc, reference.Indexes()));
            }
        }
        ASSERT_NO_FATAL_FAILURE(expectIndexesAndSavedFields(doc, reference));
    }
}

// The cases as a loader hands them over: the same numbers, their texts in an arena of its own.
CQuellmarkDoc::RecordList inArena(const std::vector<CCaseRecord>& cases, TextArena& arena) {
    CQuellmarkDoc::RecordList records;
    for (const CCaseRecord& c : cases) {
        CCaseRecord& r = records.emplace_back(c);
        std::uint32_t ends[CaseTexts::kCount];
        std::string bytes;
        for (int slot = 0; slot < CaseTexts::kCount; ++slot) {
            bytes += c.TextView(CCaseRecord::TextSlot(slot));
            ends[slot] = std::uint32_t(bytes.size());
        }
        r.Texts().Assign(ends, bytes.data(), &arena);
    }
    return records;
}

// Cases loaded with the order of their last changes (case i changed as the order[i]-th) stand
// as if added one by one and then changed in that order, whichever way they are given; the
// arena of a loader's cases lives on in the document, also when the loader's goes.
TEST(SortIndexAddTest, LoadedCasesStandAsTheirLastChangesLeftThem) {
    for (const Distribution& d : distributions(-1)) {
        SCOPED_TRACE(traceOf(d));
        const std::vector<CCaseRecord> pool = casesOf(d);
        std::mt19937 rng(d.seed);
        std::vector<std::uint32_t> order(pool.size());
        std::iota(order.begin(), order.end(), 0u);
        std::shuffle(order.begin(), order.end(), rng);
        ReferenceIndexes reference(pool);
        std::vector<int> byChange(pool.size());
        for (std::size_t i = 0; i < pool.size(); ++i) {
            byChange[order[i]] = int(i);
        }
        for (int i : byChange) {
            reference.Replace(i, pool[std::size_t(i)]);
        }

        CQuellmarkDoc plain(CQuellmarkDoc::NoFile{});
        plain.AddRecords(pool, &order);
        CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
        {
            TextArena arena;
            CQuellmarkDoc::RecordList records = inArena(pool, arena);
            doc.AddRecords(std::move(records), std::move(arena), &order);
        }
        ASSERT_NO_FATAL_FAILURE(expectIndexesAndSavedFields(doc, reference));
        ASSERT_EQ(testing_support::StoredBytes(doc), testing_support::StoredBytes(plain));

        // Into a registry that holds cases: they are copied into its own arena.
        const std::size_t half = pool.size() / 2;
        const std::vector<CCaseRecord> batch(pool.begin(), pool.begin() + std::ptrdiff_t(half));
        {
            TextArena arena;
            doc.AddRecords(inArena(batch, arena), std::move(arena));
        }
        plain.AddRecords(batch);
        doc.ReplaceRecord(3, pool.back());
        plain.ReplaceRecord(3, pool.back());
        doc.AddRecord(pool[1]);
        plain.AddRecord(pool[1]);
        for (int i = 0; i < doc.GetRecordCount(); ++i) {
            ASSERT_EQ(doc.RecordAt(i), plain.RecordAt(i)) << "case " << i;
        }
        EXPECT_EQ(testing_support::StoredBytes(doc), testing_support::StoredBytes(plain));
    }
}

// ---------------------------------------------------------------------------------------------
// Replacing

TEST(SortIndexReplaceTest, CorrectionsAfterLoadingKeepTheInsertionOrder) {
    for (const Distribution& d : distributions(-1)) {
        SCOPED_TRACE(traceOf(d));
        std::vector<CCaseRecord> pool = casesOf(d);
        CQuellmarkDoc saved(CQuellmarkDoc::NoFile{});
        saved.AddRecords(pool);
        CQuellmarkDoc doc = loaded(testing_support::StoredBytes(saved));
        ReferenceIndexes reference(pool);
        std::mt19937 rng(d.seed);
        const int corrections = d.n > 10000 ? 6 : 24;
        for (int step = 0; step < corrections; ++step) {
            const int index = int(rng() % unsigned(d.n));
            // Another case's keys (ties are common), the same keys again, or a new date.
            CCaseRecord r = pool[rng() % pool.size()];
            if (step % 4 == 1) {
                r = doc.GetRecord(index);
            } else if (step % 4 == 2) {
                r.SettSurgery(fw::MakeTime32(2037, 12, 31, 9, 0, 0));
            }
            ASSERT_TRUE(doc.ReplaceRecord(index, r));
            reference.Replace(index, r);
            // The first correction after the load, then a few more along the way.
            if (step == 0 || (d.n <= 10000 && step % 4 == 3)) {
                SCOPED_TRACE("correction " + std::to_string(step));
                ASSERT_NO_FATAL_FAILURE(expectIndexes(doc, reference.Indexes()));
            }
        }
        expectIndexesAndSavedFields(doc, reference);
    }
}

// After a load or a batch the indexes other than the date's are sorted only when first read.
// Corrections and new cases in between, with the save as the first reader, must save what
// keeping every index in order would have saved; the list's date index stays in order all
// along.
TEST(SortIndexLaterTest, ChangesBeforeTheFirstSaveSaveAsIfEveryIndexWasKept) {
    for (const Distribution& d : distributions(-1)) {
        SCOPED_TRACE(traceOf(d));
        std::vector<CCaseRecord> pool = casesOf(d);
        const std::size_t half = pool.size() / 2;
        CQuellmarkDoc first(CQuellmarkDoc::NoFile{});
        first.AddRecords({pool.begin(), pool.begin() + std::ptrdiff_t(half)});
        CQuellmarkDoc doc = loaded(testing_support::StoredBytes(first));
        ReferenceIndexes reference({pool.begin(), pool.begin() + std::ptrdiff_t(half)});
        std::mt19937 rng(d.seed);
        auto replace = [&] {
            const int index = int(rng() % unsigned(reference.Count()));
            const CCaseRecord& r = pool[rng() % pool.size()];
            ASSERT_TRUE(doc.ReplaceRecord(index, r));
            reference.Replace(index, r);
        };
        for (int step = 0; step < 3; ++step) {
            replace();
            doc.AddRecord(pool[half + std::size_t(step)]);
            reference.Add(pool[half + std::size_t(step)]);
            ASSERT_EQ(DocumentIndex(doc, kKeyDate), reference.Index(kKeyDate));
        }
        std::vector<CCaseRecord> batch(pool.begin() + std::ptrdiff_t(half) + 3, pool.end());
        doc.AddRecords(batch);
        for (const CCaseRecord& r : batch) {
            reference.Add(r);
        }
        replace();
        ASSERT_EQ(DocumentIndex(doc, kKeyDate), reference.Index(kKeyDate));
        EXPECT_EQ(testing_support::SavedIndexMismatch(testing_support::StoredBytes(doc),
                                                      reference.Indexes()),
                  "");
        // Sorted now, they are kept in order from here on.
        replace();
        ASSERT_NO_FATAL_FAILURE(expectIndexesAndSavedFields(doc, reference));
    }
}

TEST(SortIndexReplaceTest, EqualKeysPutTheLatestFirst) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.AddRecord(BlankCase("a", 2006, 4, 1));
    doc.AddRecord(BlankCase("b", 2006, 4, 1));
    doc.AddRecord(BlankCase("c", 2005, 1, 1));
    EXPECT_EQ(DocumentIndex(doc, kKeyDate), (std::vector<int>{1, 0, 2}));
    // A case moved to a later date goes to the top; replaced without change, it goes before
    // the others of its date.
    doc.ReplaceRecord(2, BlankCase("c", 2007, 1, 1));
    EXPECT_EQ(DocumentIndex(doc, kKeyDate), (std::vector<int>{2, 1, 0}));
    doc.ReplaceRecord(0, doc.GetRecord(0));
    EXPECT_EQ(DocumentIndex(doc, kKeyDate), (std::vector<int>{2, 0, 1}));
    EXPECT_FALSE(doc.ReplaceRecord(3, doc.GetRecord(0)));
    EXPECT_FALSE(doc.ReplaceRecord(-1, doc.GetRecord(0)));
}

TEST(SortIndexReplaceTest, ReplacingTheOnlyCaseLeavesEntryZero) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.AddRecord(BlankCase("a"));
    doc.ReplaceRecord(0, BlankCase("b", 2020, 1, 1));
    for (int key = 1; key <= kSortKeyCount; ++key) {
        EXPECT_EQ(DocumentIndex(doc, key), std::vector<int>{0});
    }
    EXPECT_EQ(doc.GetRecord(0).GetstrName(), "b");
}

TEST(SortIndexTest, KanaOrderPutsKanjiAboveHalfWidthKatakana) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    const char* kana[] = {"ｱ", "亜", "あ", "a"};
    for (const char* k : kana) {
        CCaseRecord r = BlankCase("x");
        CString text;
        CString::FromUtf8(k, text);
        r.SetstrKana(text);
        doc.AddRecord(r);
    }
    // Descending: 亜 (0x889F) > あ (0x82A0) > ｱ (0xB1) > a (0x61).
    EXPECT_EQ(DocumentIndex(doc, kKeyKana), (std::vector<int>{1, 2, 0, 3}));
}

// ---------------------------------------------------------------------------------------------
// The two-core build

TEST(SortIndexTest, AFailureOnEitherThreadReachesTheCaller) {
    const struct {
        bool onCaller;
        bool onSecond;
    } cases[] = {{false, true}, {true, false}, {true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.onCaller) + std::to_string(c.onSecond));
        const std::thread::id caller = std::this_thread::get_id();
        std::atomic<int> ran{0};
        auto work = [&] {
            ++ran;
            const bool here = std::this_thread::get_id() == caller;
            if ((here && c.onCaller) || (!here && c.onSecond)) {
                throw std::bad_alloc();
            }
        };
        EXPECT_THROW(registry::runOnTwoThreads(work), std::bad_alloc);
        EXPECT_EQ(ran, 2); // both ran to the end before the failure was passed on
    }
    std::atomic<int> ran{0};
    registry::runOnTwoThreads([&] { ++ran; });
    EXPECT_EQ(ran, 2);
}
