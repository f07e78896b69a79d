#pragma once
// The columns of the patient list, once for every writer of it (the CSV file and the workbook):
// their names, their order, and what each cell of a case holds. A writer only decides how a
// kind of cell is put down, so a column cannot move in one file and not in the other.

#include "framework/String.h"
#include "registry/CaseCodes.h"
#include "registry/ComorbidityCodes.h"
#include "registry/QuellmarkDoc.h"

#include <array>
#include <string_view>

namespace registry {

// Columns of a case: one without incident ends after the drug incident note.
constexpr int kExportFields = 78;
constexpr int kExportFieldsWithoutIncident = 57;

// The 78 column names in order, as UTF-8.
const std::array<const char*, kExportFields>& ListColumnNames();

// The texts of the list's label cells, in cp932.
struct ListWords {
    const CString& male;
    const CString& female;
    const CString& gramMl;
    const CString& units;
    const CString& withheld;
    const CString& incident;
};
const ListWords& listWords();

// Calls cells once per column of case index (0-based), in column order:
//   Number(int)           a number member, or a part of the surgery date
//   Fixed2(float)         height and weight, shown with two decimals
//   Text(string_view)     a free text as the user typed it, cp932
//   Label(string_view)    a fixed text of the program, cp932; empty for a code without one
//   Empty()               a column without a value
// A case without incident gets kExportFieldsWithoutIncident calls, one with kExportFields.
template <class Cells> void VisitListColumns(const CQuellmarkDoc& doc, int index, Cells& cells) {
    const CCaseRecord& r = doc.RecordAt(index);
    const ListWords& w = listWords();
    const auto unit = [&](int code) {
        cells.Label((code == kUnitGramMl ? w.gramMl : w.units).view());
    };

    const fw::LocalDate date = fw::UnpackDate(doc.GetSurgeryDate(index));
    cells.Number(index + 1);
    cells.Number(date.year);
    cells.Number(date.month);
    cells.Number(date.day);

    cells.Text(r.TextView(CCaseRecord::kstrId));
    cells.Text(r.TextView(CCaseRecord::kstrName));
    cells.Text(r.TextView(CCaseRecord::kstrKana));
    cells.Fixed2(r.GetfHeight());
    cells.Fixed2(r.GetfWeight());
    cells.Label((r.GetnSex() == kSexMale ? w.male : w.female).view());
    cells.Number(r.GetnAgeYears());
    cells.Number(r.GetnAgeMonths());
    cells.Number(r.GetnAgeDays());

    cells.Text(r.TextView(CCaseRecord::kstrDisease));
    cells.Text(r.TextView(CCaseRecord::kstrProcedure));
    cells.Text(r.TextView(CCaseRecord::kstrDepartment));
    cells.Text(r.TextView(CCaseRecord::kstrWard));
    cells.Text(r.TextView(CCaseRecord::kstrOperatingRoom));
    for (int i = 0; i < CCaseRecord::kPeople; ++i) {
        cells.Text(r.TextView(CCaseRecord::TextSlot(CCaseRecord::kAnesthesiologist0 + i)));
    }
    for (int i = 0; i < CCaseRecord::kPeople; ++i) {
        cells.Text(r.TextView(CCaseRecord::TextSlot(CCaseRecord::kSupervisor0 + i)));
    }
    // The form offers only "1".."6E"; a damaged file's text is still the user's text.
    cells.Text(r.TextView(CCaseRecord::kstrAsa));
    cells.Label(PositionLabel(r.GetnPosition()).view());
    cells.Label(SiteLabel(r.GetnSite()).view());
    cells.Label(MethodLabel(r.GetnMethod()).view());
    cells.Text(r.TextView(CCaseRecord::kstrAnesthesiaTime));
    cells.Text(r.TextView(CCaseRecord::kstrSurgeryTime));

    cells.Number(r.GetnCrystalloid());
    cells.Number(r.GetnColloid());
    cells.Number(r.GetnBloodLoss());
    cells.Text(r.TextView(CCaseRecord::kstrBloodLossNote));
    cells.Number(r.GetnUrine());
    cells.Number(r.GetnMap());
    unit(r.GetnMapUnit());
    cells.Number(r.GetnFfp());
    unit(r.GetnFfpUnit());
    cells.Number(r.GetnPc());
    unit(r.GetnPcUnit());
    cells.Number(r.GetnAutologous());
    unit(r.GetnAutologousUnit());
    cells.Number(r.GetnAlbumin());
    cells.Number(r.GetnWholeBlood());
    unit(r.GetnWholeBloodUnit());
    cells.Text(r.TextView(CCaseRecord::kstrOtherProductName));
    cells.Number(r.GetnOtherProduct());
    unit(r.GetnOtherUnit());
    cells.Text(r.TextView(CCaseRecord::kstrTransfusionNote));

    int slots[kPreopSlotCount];
    UnpackPreopSlots(r.GetnPreopCode(), slots);
    for (int slot : slots) {
        // The export labels carry the comma of the CSV's field ("1a_,", "," for none).
        std::string_view label = ExportLabel(slot).view();
        label.remove_suffix(label.empty() ? 0 : 1);
        cells.Label(label);
    }
    cells.Text(r.TextView(CCaseRecord::kstrPreopComment));
    cells.Text(r.TextView(CCaseRecord::kstrNotes));
    cells.Label(r.GetbWithhold() == 1 ? w.withheld.view() : std::string_view());
    cells.Text(r.TextView(CCaseRecord::kstrDrugIncident));

    const int row = r.GetnIncidentIndex();
    if (row == -1) {
        return;
    }
    // A case that points past the incident table still says it has an incident, but has no
    // codes to show: its incident columns stay empty rather than made up.
    cells.Label(w.incident.view());
    const bool exists = row >= 0 && row < doc.GetIncidentCount();
    for (int k = 0; k < CQuellmarkDoc::kIncidentValues; ++k) {
        if (exists) {
            cells.Number(doc.GetIncidentValue(row, k));
        } else {
            cells.Empty();
        }
    }
    for (int k = 1; k <= CQuellmarkDoc::kIncidentTexts; ++k) {
        if (exists) {
            cells.Text(doc.GetIncidentText(row, k).view());
        } else {
            cells.Empty();
        }
    }
}

} // namespace registry
