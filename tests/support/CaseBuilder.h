#pragma once
// Builders of cases and documents for tests, benchmarks and the end-to-end scripts.

#include "registry/CaseRecord.h"
#include "registry/QuellmarkDoc.h"

#include <cstdint>
#include <random>

namespace testing_support {

// A case as the new-case form leaves it: sex 1, age -1/0/0, units 1, codes 0, no incident.
CCaseRecord BlankCase(const char* nameUtf8 = "", int year = 2010, int month = 4, int day = 1);

// A blank case with every entry the society report needs: age 30, ASA "1", site, position and
// method 1, so that it passes the report check.
CCaseRecord ReportableCase(const char* nameUtf8 = "", int year = 2010, int month = 4, int day = 1);

// A case with realistic texts and values, drawn from rng, with a surgery date between 1990 and
// 2037.
CCaseRecord RealisticCase(std::mt19937& rng);

// A document of n realistic cases, some with incidents, with master lists.
void FillDocument(CQuellmarkDoc& doc, int n, std::uint32_t seed = 1);

// The bytes a document would write.
std::string StoredBytes(CQuellmarkDoc& doc);

} // namespace testing_support
