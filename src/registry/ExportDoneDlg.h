#pragma once
// The patient list exports as the menu runs them (commands 32771 and 32772), and the notice
// they show when the file has been written.

#include "framework/ui/Dialog.h"
#include "registry/QuellmarkDoc.h"

namespace registry {

constexpr int kExportDoneDialogId = 157;
constexpr int kExportDoneText = 1000;

// Writes every case of doc to "vora_list.csv" in the working directory and shows the notice;
// when the file cannot be written, or the user cancelled the bar a long export shows, a message
// says why instead and an earlier file stays.
void OnExportList(CQuellmarkDoc& doc);

// The same for the workbook "vora_list.xlsx"; its notice also tells of shortened cells.
void OnExportWorkbook(CQuellmarkDoc& doc);

} // namespace registry

class CExportDoneDlg : public fw::CDialog {
public:
    // notice: what was written; the template's own text (the CSV's) when empty.
    explicit CExportDoneDlg(CString notice = {});

protected:
    bool OnInitDialog() override;

private:
    CString m_strNotice;
};
