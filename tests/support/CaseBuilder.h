#pragma once
// Builders of cases and documents for tests, benchmarks and the end-to-end scripts.

#include "registry/CaseRecord.h"
#include "registry/QuellmarkDoc.h"

#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace testing_support {

// A case as the new-case form leaves it: sex 1, age -1/0/0, units 1, codes 0, no incident.
CCaseRecord BlankCase(const char* nameUtf8 = "", int year = 2010, int month = 4, int day = 1);

// A blank case with every entry the society report needs: age 30, ASA "1", site, position and
// method 1, so that it passes the report check.
CCaseRecord ReportableCase(const char* nameUtf8 = "", int year = 2010, int month = 4, int day = 1);

// How widely the surgery dates and the sort keys of realistic cases spread.
enum class Spread {
    Decades,     // surgery dates between 1990 and 2037
    FewYears,    // dates over three years: an ordinary department's registry
    TwentyYears, // dates over twenty years, about 7,300 days
    // Dates over every day a 32-bit time holds; IDs, kana, ages, diseases, procedures,
    // departments and people take many values too.
    Everything,
};

// A case with realistic texts and values, drawn from rng.
CCaseRecord RealisticCase(std::mt19937& rng, Spread spread = Spread::Decades);

// A document of n realistic cases, some with incidents, with master lists.
void FillDocument(CQuellmarkDoc& doc, int n, std::uint32_t seed = 1,
                  Spread spread = Spread::Decades);

// n cases in which sort key k (1 to 12) takes exactly distinct[k - 1] values as the sort
// indexes compare them (dates: at most the days a 32-bit time holds), each value at least once,
// in random order. Texts follow a prefix that all cases of the key share (which prefix depends
// on the key and the seed), mix single-byte, half-width katakana and double-byte characters,
// and some carry bytes that the text order does not read (a NUL byte and more, a lead byte at
// the very end). Dates lie within twenty years while those have days enough, else anywhere a
// 32-bit time reaches; ages, sexes and methods include -1 and the extremes of 32 bits.
std::vector<CCaseRecord>
CasesWithDistinctKeys(int n, const std::array<int, registry::kSortKeyCount>& distinct,
                      std::uint32_t seed);

// The bytes a document would write.
std::string StoredBytes(CQuellmarkDoc& doc);

} // namespace testing_support
