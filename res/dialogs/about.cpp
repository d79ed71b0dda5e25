#include "res/ids/main_ids.h"
#include "res/templates.h"

namespace res {

using namespace platform;

DialogTemplate aboutTemplate() {
    DialogTemplate t;
    t.id = IDD_ABOUTBOX;
    t.title = QStringLiteral("About Tarvik");
    t.width = 200;
    t.height = 62;
    t.controls = {
        {IDC_ABOUT_ICON,
         ControlKind::Picture,
         {},
         10,
         10,
         24,
         24,
         StyleNone,
         0,
         QStringLiteral("Tarvik emblem")},
        {IDC_STATIC, ControlKind::Label, QStringLiteral("Tarvik Version 1.0"), 42, 10, 150, 9},
        {IDC_STATIC, ControlKind::Label, QStringLiteral("A test tool for J1708, J1850 and J1939 data links"),
         42, 22, 150, 9},
        {IDC_STATIC, ControlKind::Label, QStringLiteral("through an RP1210A driver library."), 42, 32, 150,
         9},
        {IDOK, ControlKind::DefPushButton, QStringLiteral("OK"), 146, 44, 46, 14},
    };
    return t;
}

} // namespace res
