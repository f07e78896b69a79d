// The order of the twelve sort indexes, and building them for a whole registry at once
// (loading, many cases added together). The result is exactly that of inserting the cases one
// by one: descending key, and among equal keys the case with the later stamp first.
//
// Every key of a case is a value of its own kind (sortValueOf): an integer of up to 128 bits,
// or a text. Each index is one stable sort, by descending value, of the cases taken latest
// stamp first: a byte-wise radix sort in which bytes that every case shares cost no pass. A
// text key sorts by the rank of each case's text among the distinct texts while those are few;
// otherwise the texts sort as they stand, eight characters at a time.

#include "registry/QuellmarkDoc.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <functional>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

using namespace registry;

namespace {

// From this many cases on, the indexes are sorted on two cores.
constexpr std::size_t kTwoCoreCases = 50000;
// Runs shorter than this are sorted by insertion: a radix pass has a fixed cost of its own.
constexpr std::size_t kShortRun = 64;
// How far ahead a walk over texts in sorted order asks for the bytes of the next ones.
constexpr std::size_t kPrefetchAhead = 16;
// From this many entries on, a radix pass takes 16 bits at once.
constexpr std::size_t kWideDigitEntries = 1 << 15;
// Texts are ranked among the distinct ones while there are no more than this, or a 64th of the
// cases (their table then stays in the cache); beyond that they are sorted as they stand.
constexpr std::size_t kFewTexts = 64;
constexpr std::size_t kCasesPerText = 64;

std::uint64_t biased(std::int32_t v) {
    return std::uint32_t(v) ^ 0x80000000u;
}

int compareWords(std::uint64_t a, std::uint64_t b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

struct Entry {
    std::uint64_t high; // what is sorted on now: high, then low
    std::uint64_t low;
    std::int32_t index;   // a record index, or the number of a distinct text
    std::uint32_t offset; // texts: the byte where the next characters start
};

// Entries are written before they are read: growing leaves them as they come.
using EntryVector = std::vector<Entry, fw::LargeBlockAllocator<Entry>>;

bool sameWords(const Entry& a, const Entry& b) {
    return a.high == b.high && a.low == b.low;
}

bool wordsLess(const Entry& a, const Entry& b) {
    return a.high != b.high ? a.high < b.high : a.low < b.low;
}

// The digit of the words at bit position at (0 the least significant), complemented, so that
// the greatest words sort first.
std::size_t digit(const Entry& e, int at, std::uint64_t mask) {
    const std::uint64_t word = at < 64 ? e.low : e.high;
    return std::size_t(~(word >> (at & 63)) & mask);
}

void insertionSortDescending(Entry* begin, std::size_t n) {
    for (std::size_t i = 1; i < n; ++i) {
        const Entry e = begin[i];
        std::size_t j = i;
        for (; j > 0 && wordsLess(begin[j - 1], e); --j) {
            begin[j] = begin[j - 1];
        }
        begin[j] = e;
    }
}

void copyIndexes(const Entry* begin, std::size_t n, int* indexes) {
    for (std::size_t i = 0; i < n; ++i) {
        indexes[i] = begin[i].index;
    }
}

// Stable sort by descending words: entries with equal words keep their order. A radix sort,
// one pass per digit in which the entries differ; digits of 16 bits for many entries, of 8 for
// fewer. With indexes, the sorted record indexes go there and the entries are left in any
// order (the last pass moves only the indexes).
void sortDescending(Entry* begin, std::size_t n, EntryVector& scratch, int* indexes = nullptr) {
    if (n < kShortRun) {
        insertionSortDescending(begin, n);
        if (indexes) {
            copyIndexes(begin, n, indexes);
        }
        return;
    }
    std::uint64_t highOr = 0;
    std::uint64_t highAnd = ~std::uint64_t(0);
    std::uint64_t lowOr = 0;
    std::uint64_t lowAnd = ~std::uint64_t(0);
    for (const Entry* e = begin; e != begin + n; ++e) {
        highOr |= e->high;
        highAnd &= e->high;
        lowOr |= e->low;
        lowAnd &= e->low;
    }
    const int bits = n >= kWideDigitEntries ? 16 : 8;
    const std::uint64_t mask = (std::uint64_t(1) << bits) - 1;
    const std::size_t buckets = std::size_t(1) << bits;
    std::array<int, 16> varying{};
    std::size_t passes = 0;
    for (int at = 0; at < 128; at += bits) {
        const std::uint64_t differ = at < 64 ? lowOr ^ lowAnd : highOr ^ highAnd;
        if ((differ >> (at & 63)) & mask) {
            varying[passes++] = at;
        }
    }
    if (passes == 0) {
        if (indexes) {
            copyIndexes(begin, n, indexes);
        }
        return;
    }
    std::vector<std::uint32_t> start(passes * buckets);
    for (const Entry* e = begin; e != begin + n; ++e) {
        for (std::size_t p = 0; p < passes; ++p) {
            ++start[p * buckets + digit(*e, varying[p], mask)];
        }
    }
    if (scratch.size() < n) {
        scratch.resize(n);
    }
    Entry* from = begin;
    Entry* to = scratch.data();
    for (std::size_t p = 0; p < passes; ++p) {
        std::uint32_t* next = start.data() + p * buckets;
        std::uint32_t sum = 0;
        for (std::size_t d = 0; d < buckets; ++d) {
            std::uint32_t c = next[d];
            next[d] = sum;
            sum += c;
        }
        if (indexes && p + 1 == passes) {
            for (const Entry* e = from; e != from + n; ++e) {
                indexes[next[digit(*e, varying[p], mask)]++] = e->index;
            }
            return;
        }
        for (const Entry* e = from; e != from + n; ++e) {
            to[next[digit(*e, varying[p], mask)]++] = *e;
        }
        std::swap(from, to);
    }
    if (from != begin) {
        std::copy(from, from + n, begin);
    }
}

// Texts one after another, each ended by a NUL byte, which the text order reads as the end:
// what the sorts read again and again lies close together, away from the cases.
class TextPool {
public:
    void Reserve(std::size_t bytes) { m_bytes.reserve(bytes); }
    // Where the text starts.
    std::uint32_t Add(std::string_view text) {
        if (text.size() >= std::numeric_limits<std::uint32_t>::max() - m_bytes.size()) {
            throw std::bad_alloc(); // offsets are 32 bits
        }
        const auto start = std::uint32_t(m_bytes.size());
        m_bytes.append(text);
        m_bytes.push_back('\0');
        return start;
    }
    void Prefetch(const Entry& e) const { __builtin_prefetch(m_bytes.data() + e.offset); }
    std::string_view Text(std::uint32_t start, std::size_t length) const {
        return std::string_view(m_bytes).substr(start, length);
    }
    // The next eight characters of the text that e.offset is in, into the words of e.
    void ReadCharacters(Entry& e) const {
        e.high = CString::SortChunk(m_bytes, e.offset);
        e.low = CString::SortChunk(m_bytes, e.offset);
    }

private:
    std::string m_bytes;
};

// Stable sort by descending text, eight characters at a time: a run of entries whose
// characters so far are equal and may go on is sorted again by the next eight. The offset of
// each entry is where its text starts in pool.
void sortTextsDescending(EntryVector& entries, const TextPool& pool, EntryVector& scratch) {
    for (Entry& e : entries) {
        pool.ReadCharacters(e);
    }
    std::vector<std::pair<std::size_t, std::size_t>> runs{{0, entries.size()}};
    while (!runs.empty()) {
        auto [first, last] = runs.back();
        runs.pop_back();
        sortDescending(entries.data() + first, last - first, scratch);
        for (std::size_t i = first; i < last;) {
            std::size_t j = i + 1;
            while (j < last && sameWords(entries[j], entries[i])) {
                ++j;
            }
            // A last character of 0: the texts ended within these characters and are equal.
            if (j - i > 1 && (entries[i].low & 0xFFFF) != 0) {
                for (std::size_t k = i; k < j; ++k) {
                    // The texts of a run lie anywhere in the pool: ask for them early.
                    if (k + kPrefetchAhead < j) {
                        pool.Prefetch(entries[k + kPrefetchAhead]);
                    }
                    pool.ReadCharacters(entries[k]);
                }
                runs.emplace_back(i, j);
            }
            i = j;
        }
    }
}

// The distinct texts of a key, numbered as they first appear, while they are few. Equal texts
// are the rule for most keys (a department, a person, a diagnosis over and over): each case's
// text is then looked up once, in the order of the cases, and only the distinct texts sort.
class DistinctTexts {
public:
    static constexpr std::uint32_t kTooMany = ~std::uint32_t(0);

    explicit DistinctTexts(std::size_t most) : m_most(most) {}

    // The number of text, which is added when it is new; kTooMany when that would make more
    // than most. Text is the part that orders (CString::OrderedBytes).
    std::uint32_t Number(std::string_view text) {
        if (m_texts.size() * 2 >= m_slots.size()) {
            grow();
        }
        const auto hash = std::uint32_t(std::hash<std::string_view>{}(text));
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot& slot = m_slots[i];
            if (slot.numberPlusOne == 0) {
                if (m_texts.size() == m_most) {
                    return kTooMany;
                }
                slot = {std::uint32_t(m_texts.size() + 1), hash};
                m_texts.push_back({m_pool.Add(text), std::uint32_t(text.size())});
                return slot.numberPlusOne - 1;
            }
            const Stored& stored = m_texts[slot.numberPlusOne - 1];
            if (slot.hash == hash && m_pool.Text(stored.start, stored.length) == text) {
                return slot.numberPlusOne - 1;
            }
        }
    }

    // rank[number]: the place of each text in ascending order, from 0.
    std::vector<std::uint32_t> Ranks(EntryVector& scratch) const {
        EntryVector texts(m_texts.size());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            texts[i] = {0, 0, std::int32_t(i), m_texts[i].start};
        }
        sortTextsDescending(texts, m_pool, scratch);
        std::vector<std::uint32_t> rank(texts.size());
        for (std::size_t pos = 0; pos < texts.size(); ++pos) {
            rank[std::size_t(texts[pos].index)] = std::uint32_t(texts.size() - 1 - pos);
        }
        return rank;
    }

private:
    struct Slot {
        std::uint32_t numberPlusOne; // 0: free
        std::uint32_t hash;
    };
    struct Stored {
        std::uint32_t start;
        std::uint32_t length;
    };

    void grow() {
        std::vector<Slot> old(std::max<std::size_t>(1024, m_slots.size() * 2), Slot{0, 0});
        old.swap(m_slots);
        const std::size_t mask = m_slots.size() - 1;
        for (const Slot& slot : old) {
            if (slot.numberPlusOne != 0) {
                std::size_t i = slot.hash & mask;
                while (m_slots[i].numberPlusOne != 0) {
                    i = (i + 1) & mask;
                }
                m_slots[i] = slot;
            }
        }
    }

    std::size_t m_most;
    TextPool m_pool;
    std::vector<Stored> m_texts;
    std::vector<Slot> m_slots;
};

} // namespace

struct CQuellmarkDoc::SortWork {
    EntryVector entries;
    EntryVector scratch;
};

CQuellmarkDoc::SortValue CQuellmarkDoc::sortValueOf(int key, int index) const {
    const CCaseRecord& r = m_listRecords[std::size_t(index)];
    auto text = [&](CCaseRecord::TextSlot slot) { return SortValue{true, r.TextView(slot)}; };
    switch (SortKey(key)) {
    case kKeyDate:
        return {false, {}, biased(m_surgeryDate[std::size_t(index)]), 0};
    case kKeyKana:
        return text(CCaseRecord::kstrKana);
    case kKeyId:
        return text(CCaseRecord::kstrId);
    case kKeyAge:
        return {false,
                {},
                biased(r.GetnAgeYears()) << 32 | biased(r.GetnAgeMonths()),
                biased(r.GetnAgeDays())};
    case kKeySex:
        return {false, {}, biased(r.GetnSex()), 0};
    case kKeyDisease:
        return text(CCaseRecord::kstrDisease);
    case kKeyProcedure:
        return text(CCaseRecord::kstrProcedure);
    case kKeyDepartment:
        return text(CCaseRecord::kstrDepartment);
    case kKeyAsa:
        return text(CCaseRecord::kstrAsa);
    case kKeyMethod:
        return {false, {}, biased(r.GetnMethod()), 0};
    case kKeyAnesthesiologist:
        return text(CCaseRecord::kAnesthesiologist0);
    case kKeySupervisor:
        return text(CCaseRecord::kSupervisor0);
    }
    // Keys come from the loops over 1 to kSortKeyCount only.
    std::abort();
}

int CQuellmarkDoc::compareKey(int key, int a, int b) const {
    const SortValue va = sortValueOf(key, a);
    const SortValue vb = sortValueOf(key, b);
    if (va.isText) {
        return CString::Compare(va.text, vb.text);
    }
    if (int c = compareWords(va.high, vb.high)) {
        return c;
    }
    return compareWords(va.low, vb.low);
}

void CQuellmarkDoc::sortIndex(int key, const std::vector<int>& byStamp, SortWork& work) const {
    EntryVector& entries = work.entries;
    const std::size_t n = byStamp.size();
    entries.resize(n);
    std::vector<int>& index = m_pSortIndex[std::size_t(key - 1)];
    index.resize(n);
    if (n > 0 && sortValueOf(key, 0).isText) {
        sortTexts(key, byStamp, work, index.data());
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const SortValue v = sortValueOf(key, byStamp[i]);
        entries[i] = {v.high, v.low, byStamp[i], 0};
    }
    sortDescending(entries.data(), n, work.scratch, index.data());
}

void CQuellmarkDoc::sortTexts(int key, const std::vector<int>& byStamp, SortWork& work,
                              int* index) const {
    EntryVector& entries = work.entries;
    auto textOf = [&](int r) { return CString::OrderedBytes(sortValueOf(key, r).text); };
    // Few distinct texts: each case sorts by the rank of its text among them.
    DistinctTexts texts(std::max(kFewTexts, entries.size() / kCasesPerText));
    std::size_t bytesSeen = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string_view text = textOf(byStamp[i]);
        bytesSeen += text.size() + 1;
        const std::uint32_t number = texts.Number(text);
        if (number == DistinctTexts::kTooMany) {
            TextPool pool;
            // Room for all the texts at the size of those seen so far, so that the pool is
            // not copied again and again as it grows.
            pool.Reserve(bytesSeen / (i + 1) * entries.size() * 5 / 4);
            for (std::size_t k = 0; k < entries.size(); ++k) {
                entries[k] = {0, 0, byStamp[k], pool.Add(textOf(byStamp[k]))};
            }
            sortTextsDescending(entries, pool, work.scratch);
            copyIndexes(entries.data(), entries.size(), index);
            return;
        }
        entries[i] = {0, 0, byStamp[i], number};
    }
    const std::vector<std::uint32_t> rank = texts.Ranks(work.scratch);
    for (Entry& e : entries) {
        e.high = rank[e.offset];
    }
    sortDescending(entries.data(), entries.size(), work.scratch, index);
}

std::vector<int> CQuellmarkDoc::latestStampFirst() const {
    const std::size_t n = std::size_t(m_nRecordCount);
    std::vector<int> byStamp(n);
    for (std::size_t i = 0; i < n; ++i) {
        byStamp[i] = int(n - 1 - i);
    }
    if (!std::is_sorted(m_stamp.begin(), m_stamp.end())) {
        std::sort(byStamp.begin(), byStamp.end(),
                  [&](int a, int b) { return m_stamp[std::size_t(a)] > m_stamp[std::size_t(b)]; });
    }
    return byStamp;
}

void CQuellmarkDoc::sortDateIndex() {
    SortWork buffers;
    sortIndex(kKeyDate, latestStampFirst(), buffers);
    m_sortIndexesLeft = true;
}

void CQuellmarkDoc::completeSortIndexes() const {
    if (!m_sortIndexesLeft) {
        return;
    }
    const std::vector<int> byStamp = latestStampFirst();
    // Each sort only reads the cases and writes its own index, so a large registry sorts on
    // two cores, each taking the next key that is left.
    static_assert(kKeyDate == 1);
    std::atomic<int> nextKey{2};
    auto work = [&] {
        SortWork buffers;
        for (int key; (key = nextKey++) <= kSortKeyCount;) {
            try {
                sortIndex(key, byStamp, buffers);
            } catch (...) {
                nextKey = kSortKeyCount + 1; // the other thread stops too
                throw;
            }
        }
    };
    // A failure leaves them to be sorted again next time: some may be half sorted.
    if (byStamp.size() < kTwoCoreCases) {
        work();
    } else {
        registry::runOnTwoThreads(work);
    }
    m_sortIndexesLeft = false;
}

namespace registry {

void runOnTwoThreads(const std::function<void()>& work) {
    std::exception_ptr secondFailure;
    std::thread second;
    try {
        second = std::thread([&] {
            try {
                work();
            } catch (...) {
                secondFailure = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        // No second thread to be had: this one does all the work.
    }
    std::exception_ptr firstFailure;
    try {
        work();
    } catch (...) {
        firstFailure = std::current_exception();
    }
    if (second.joinable()) {
        second.join();
    }
    if (firstFailure) {
        std::rethrow_exception(firstFailure);
    }
    if (secondFailure) {
        std::rethrow_exception(secondFailure);
    }
}

} // namespace registry
