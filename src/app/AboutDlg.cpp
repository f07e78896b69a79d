#include "app/AboutDlg.h"

namespace {

const fw::DlgTemplate kAboutTemplate{
    100,
    190,
    56,
    nullptr,
    {
        {fw::kStaticId, fw::CtlKind::Icon, 12, 12, 20, 20},
        {fw::kStaticId, fw::CtlKind::Static, 42, 16, 140, 8, "ヴォラ１．４１号　vora ver1.41"},
        {1, fw::CtlKind::Push, 130, 36, 50, 14, "OK", fw::kDefault},
    }};

} // namespace

CAboutDlg::CAboutDlg() : CDialog(kAboutTemplate) {}
