#include "res/ids/main_ids.h"
#include "res/templates.h"
#include "tarvik_version.h"

namespace res {

using namespace platform;

DialogTemplate aboutTemplate() {
    DialogTemplate t;
    t.id = IDD_ABOUTBOX;
    t.title = QStringLiteral("About Tarvik");
    t.width = 250;
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
        {IDC_STATIC, ControlKind::Label, QStringLiteral("Tarvik Version " TARVIK_VERSION), 42, 10, 200, 9},
        {IDC_STATIC, ControlKind::Label, QStringLiteral("A test tool for J1708, J1850 and J1939 data links"),
         42, 22, 200, 9},
        {IDC_STATIC, ControlKind::Label, QStringLiteral("through an RP1210A driver library."), 42, 32, 200,
         9},
        {IDOK, ControlKind::DefPushButton, QStringLiteral("OK"), 196, 44, 46, 14},
    };
    return t;
}

} // namespace res
