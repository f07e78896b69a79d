#pragma once
// The cases one anesthesiologist handled and supervised, by anesthesia method and by group of
// surgical sites, over a period: the counts behind the per-person dialog, without its window.

#include "framework/String.h"
#include "framework/Time32.h"
#include "registry/CaseCodes.h"
#include "registry/QuellmarkDoc.h"

#include <array>

namespace report {

// The eleven site rows of the counts: 開頭, 開胸, 心臓・大血管, 開胸＋開腹, 開腹, 帝王切開,
// 頭頚部・咽喉頭, 胸壁・腹壁・会陰, 脊椎, 四肢・末梢血管, その他.
constexpr int kSiteGroupCount = 11;
// The row (1..11) that a site code counts in, as the row labels name them; 0 outside the list.
int SiteGroupOf(int site);

struct PersonQuery {
    CString name;
    bool equals = false;      // the whole recorded name must match, else it must contain name
    fw::PackedDate first = 0; // first day counted, 0 for no limit
    fw::PackedDate last = 0;  // last day counted, 0 for no limit
};

enum class PersonRole { None, InCharge, Supervising };

// In charge when the name is among the three anesthesiologists of the case, else supervising
// when among its three supervisors. "Contains" searches the three names joined by CR LF.
PersonRole RoleOf(const CCaseRecord& record, const PersonQuery& query);

struct PersonCounts {
    std::array<int, registry::kMethodCount> methodInCharge{};
    std::array<int, registry::kMethodCount> methodSupervised{};
    std::array<int, kSiteGroupCount> siteInCharge{};
    std::array<int, kSiteGroupCount> siteSupervised{};
    int incomplete = 0; // matched cases without a method or a site of the lists
    CString message;    // the list of those cases under its heading; empty when there is none
};

// Counts every case of the period, withheld ones and every year included. An empty name
// counts nothing and lists nothing.
PersonCounts CountPersonCases(const CQuellmarkDoc& doc, const PersonQuery& query);

} // namespace report
