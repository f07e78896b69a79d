#pragma once
// The patient list export as the menu runs it (command 32771), and the notice it shows when
// "vora_list.csv" has been written.

#include "framework/ui/Dialog.h"
#include "registry/QuellmarkDoc.h"

namespace registry {

constexpr int kExportDoneDialogId = 157;

// Writes every case of doc to "vora_list.csv" in the working directory and shows the notice;
// when the file cannot be written, a message says why instead and an earlier file stays.
void OnExportList(CQuellmarkDoc& doc);

} // namespace registry

class CExportDoneDlg : public fw::CDialog {
public:
    CExportDoneDlg();
};
