#include "res/ids/main_ids.h"
#include "res/templates.h"

namespace res {

using namespace platform;

DialogTemplate mainWindowTemplate() {
    DialogTemplate t;
    t.id = IDD_MAIN;
    t.title = QStringLiteral("Tarvik");
    t.width = 164;
    t.height = 25;
    t.minimizeBox = true;
    t.controls = {
        {IDC_CONNECT, ControlKind::IconButton, {}, 4, 2, 28, 21, StyleNone, 0, QStringLiteral("Connect")},
        {IDC_RECEIVE_WINDOW,
         ControlKind::IconButton,
         {},
         36,
         2,
         28,
         21,
         Disabled,
         0,
         QStringLiteral("Receive")},
        {IDC_TRANSMIT_WINDOW,
         ControlKind::IconButton,
         {},
         68,
         2,
         28,
         21,
         Disabled,
         0,
         QStringLiteral("Transmit")},
        {IDC_MONITOR_WINDOW,
         ControlKind::IconButton,
         {},
         100,
         2,
         28,
         21,
         Disabled,
         0,
         QStringLiteral("Monitor")},
        {IDC_DIAGNOSTICS_WINDOW,
         ControlKind::IconButton,
         {},
         132,
         2,
         28,
         21,
         Disabled,
         0,
         QStringLiteral("Diagnostics")},
    };
    return t;
}

} // namespace res
