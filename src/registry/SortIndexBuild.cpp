// Building the twelve sort indexes of a whole registry at once (loading, many cases added
// together). The result is exactly that of inserting the cases one by one: descending key,
// and among equal keys the case with the later stamp first.
//
// Most keys take few distinct values (dates, sexes, methods, departments, the people), so each
// case gets the rank of its key among the distinct keys and a stable counting sort by rank
// does the rest. Keys with many distinct values (IDs, names) are sorted by a prefix of the key
// held beside each case.

#include "registry/QuellmarkDoc.h"

#include <algorithm>
#include <thread>
#include <unordered_map>

namespace {

std::uint64_t biased(std::int32_t v) {
    return std::uint64_t(std::uint32_t(v) ^ 0x80000000u);
}

// Stable counting sort of byStamp by rank, highest rank first.
void countingSortDescending(const std::vector<int>& byStamp, const std::vector<std::uint32_t>& rank,
                            std::uint32_t ranks, std::vector<int>& out) {
    std::vector<std::uint32_t> start(std::size_t(ranks) + 1, 0);
    for (int r : byStamp) {
        ++start[ranks - 1 - rank[std::size_t(r)]];
    }
    std::uint32_t sum = 0;
    for (std::uint32_t& s : start) {
        std::uint32_t c = s;
        s = sum;
        sum += c;
    }
    out.resize(byStamp.size());
    for (int r : byStamp) {
        out[start[ranks - 1 - rank[std::size_t(r)]]++] = r;
    }
}

bool isTextKey(int key) {
    return key != kKeyDate && key != kKeyAge && key != kKeySex && key != kKeyMethod;
}

} // namespace

void CQuellmarkDoc::rebuildSortIndexes() {
    const std::size_t n = std::size_t(m_nRecordCount);
    // The cases, latest stamp first: the order that equal keys keep.
    std::vector<int> byStamp(n);
    for (std::size_t i = 0; i < n; ++i) {
        byStamp[i] = int(n - 1 - i);
    }
    if (!std::is_sorted(m_stamp.begin(), m_stamp.end())) {
        std::sort(byStamp.begin(), byStamp.end(),
                  [&](int a, int b) { return m_stamp[std::size_t(a)] > m_stamp[std::size_t(b)]; });
    }
    // The sorts only read the cases and each writes its own index, so a large registry sorts
    // on two cores.
    if (n < 50000) {
        sortIndexes(1, kSortKeyCount, byStamp);
    } else {
        std::thread second([&] { sortIndexes(kSortKeyCount / 2 + 1, kSortKeyCount, byStamp); });
        sortIndexes(1, kSortKeyCount / 2, byStamp);
        second.join();
    }
    m_pDisplayIndex.assign(n, 0);
}

void CQuellmarkDoc::sortIndexes(int firstKey, int lastKey, const std::vector<int>& byStamp) {
    for (int key = firstKey; key <= lastKey; ++key) {
        std::vector<int>& index = m_pSortIndex[std::size_t(key - 1)];
        if (!sortByRank(key, byStamp, index)) {
            sortByPrefix(key, index);
        }
    }
}

bool CQuellmarkDoc::sortByRank(int key, const std::vector<int>& byStamp,
                               std::vector<int>& out) const {
    const std::size_t n = std::size_t(m_nRecordCount);
    const std::size_t maxDistinct = std::max<std::size_t>(64, n / 8);
    std::vector<std::uint32_t> slot(n);
    // The distinct keys, each by one case that has it.
    std::vector<int> distinct;
    if (isTextKey(key)) {
        std::unordered_map<std::string_view, std::uint32_t> seen;
        seen.reserve(std::min(maxDistinct, n) + 1);
        for (std::size_t i = 0; i < n; ++i) {
            auto [at, added] = seen.try_emplace(textKeyOf(m_listRecords[i], key).view(),
                                                std::uint32_t(distinct.size()));
            if (added) {
                distinct.push_back(int(i));
                if (distinct.size() > maxDistinct) {
                    return false;
                }
            }
            slot[i] = at->second;
        }
    } else {
        std::unordered_map<std::uint64_t, std::uint32_t> seen;
        for (std::size_t i = 0; i < n; ++i) {
            const CCaseRecord& r = m_listRecords[i];
            std::uint64_t value = 0;
            switch (key) {
            case kKeyDate:
                value = biased(m_surgeryDate[i]);
                break;
            case kKeySex:
                value = biased(r.GetnSex());
                break;
            case kKeyMethod:
                value = biased(r.GetnMethod());
                break;
            default: // age: years, months and days as one value when they are small
                if (r.GetnAgeYears() < -1 || r.GetnAgeYears() > 0xFFFFF || r.GetnAgeMonths() < -1 ||
                    r.GetnAgeMonths() > 0xFFFF || r.GetnAgeDays() < -1 ||
                    r.GetnAgeDays() > 0xFFFF) {
                    return false;
                }
                value = (std::uint64_t(r.GetnAgeYears() + 1) << 34) |
                        (std::uint64_t(r.GetnAgeMonths() + 1) << 17) |
                        std::uint64_t(r.GetnAgeDays() + 1);
                break;
            }
            auto [at, added] = seen.try_emplace(value, std::uint32_t(distinct.size()));
            if (added) {
                distinct.push_back(int(i));
                if (distinct.size() > maxDistinct) {
                    return false;
                }
            }
            slot[i] = at->second;
        }
    }
    // Rank the distinct keys in ascending order; keys that compare equal share a rank.
    std::vector<std::uint32_t> order(distinct.size());
    for (std::uint32_t d = 0; d < order.size(); ++d) {
        order[d] = d;
    }
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return compareKey(key, distinct[a], distinct[b]) < 0;
    });
    std::vector<std::uint32_t> rankOfSlot(distinct.size());
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && compareKey(key, distinct[order[i - 1]], distinct[order[i]]) != 0) {
            ++rank;
        }
        rankOfSlot[order[i]] = rank;
    }
    for (std::uint32_t& s : slot) {
        s = rankOfSlot[s];
    }
    countingSortDescending(byStamp, slot, rank + 1, out);
    return true;
}

void CQuellmarkDoc::sortByPrefix(int key, std::vector<int>& out) const {
    struct Entry {
        std::uint64_t hi;
        std::uint64_t lo; // lowest bit: the text goes on beyond the prefix
        std::uint32_t stamp;
        std::int32_t index;
    };
    const std::size_t n = std::size_t(m_nRecordCount);
    std::vector<Entry> entries(n);
    for (std::size_t i = 0; i < n; ++i) {
        const CCaseRecord& r = m_listRecords[i];
        Entry& e = entries[i];
        e.index = std::int32_t(i);
        e.stamp = m_stamp[i];
        e.lo = 0;
        if (key == kKeyAge) {
            e.hi = (biased(r.GetnAgeYears()) << 32) | biased(r.GetnAgeMonths());
            e.lo = biased(r.GetnAgeDays()) << 16;
        } else {
            // Characters 0 to 3, then 4 to 6 and whether the text goes on after them.
            bool exact = false;
            const CString& text = textKeyOf(r, key);
            e.hi = text.SortPrefix(0, &exact);
            if (!exact) {
                std::uint64_t next = text.SortPrefix(4);
                e.lo = (next & ~std::uint64_t(0xFFFF)) | ((next & 0xFFFF) != 0 ? 1 : 0);
            }
        }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.hi != b.hi) {
            return a.hi > b.hi;
        }
        if (a.lo != b.lo) {
            return a.lo > b.lo;
        }
        return a.stamp > b.stamp;
    });
    // Runs of texts that share seven characters and go on: usually one text over and over;
    // otherwise order the run by the whole text, keeping the stamp order among equal texts.
    for (std::size_t first = 0; first < n;) {
        std::size_t last = first + 1;
        while (last < n && entries[last].hi == entries[first].hi &&
               entries[last].lo == entries[first].lo) {
            ++last;
        }
        if ((entries[first].lo & 1) && last - first > 1) {
            auto begin = entries.begin() + std::ptrdiff_t(first);
            auto end = entries.begin() + std::ptrdiff_t(last);
            bool allEqual = std::all_of(begin + 1, end, [&](const Entry& e) {
                return compareKey(key, e.index, entries[first].index) == 0;
            });
            if (!allEqual) {
                std::stable_sort(begin, end, [&](const Entry& a, const Entry& b) {
                    return compareKey(key, a.index, b.index) > 0;
                });
            }
        }
        first = last;
    }
    out.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = entries[i].index;
    }
}
