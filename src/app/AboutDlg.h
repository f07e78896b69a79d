#pragma once
// The about box: the program's icon, name and version.

#include "framework/ui/Dialog.h"

class CAboutDlg : public fw::CDialog {
public:
    CAboutDlg();
};
