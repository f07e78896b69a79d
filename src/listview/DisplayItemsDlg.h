#pragma once
// The display items dialog (dialog 135): the list's six columns, chosen in the order their item
// buttons are pressed, and the first and the last day of the display period.

#include "framework/ui/Dialog.h"
#include "listview/DisplayItems.h"

namespace listview {

constexpr int kDisplayItemsDialogId = 135;

// Controls of the display items dialog.
namespace displayitems {
enum : int {
    kStartButton = 1080,
    kEndButton = 1081,
    kStartText = 1082,
    kEndText = 1083,
};

// The item button of a column code and the read-only field beside it with its order text.
struct Item {
    int button;
    int order;
};
// By column code - 1.
inline constexpr Item kItems[registry::kColumnCodeCount] = {
    {1054, 1067}, {1055, 1068}, {1056, 1069}, {1057, 1070}, {1059, 1072}, {1060, 1073},
    {1061, 1074}, {1062, 1075}, {1065, 1076}, {1066, 1077}, {1063, 1078}, {1064, 1079},
};
} // namespace displayitems

// Command 102 of the list: opens the dialog on the list's columns and period and, when it is
// confirmed, applies them. Returns what DoModal returned.
int RunDisplayItems(int (&columns)[kColumnCount], fw::Time32& start, fw::Time32& end);

} // namespace listview

class CDisplayItemsDlg : public fw::CDialog, public listview::DisplayItems {
public:
    CDisplayItemsDlg();

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;

private:
    void choose(int code);
    void askStart();
    void askEnd();
};
