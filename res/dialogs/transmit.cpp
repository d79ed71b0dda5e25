#include "res/ids/transmit_ids.h"
#include "res/templates.h"

namespace res {

using namespace platform;

DialogTemplate transmitTemplate() {
    DialogTemplate t;
    t.id = IDD_TRANSMIT;
    t.title = QStringLiteral("Transmit");
    t.width = 300;
    t.height = 80;
    t.controls = {
        {IDC_STATIC, ControlKind::GroupBox, QStringLiteral("Protocol"), 8, 8, 150, 30},
        {IDC_TX_J1708, ControlKind::RadioButton, QStringLiteral("J1708"), 14, 20, 40, 10, Disabled | Group},
        {IDC_TX_J1850, ControlKind::RadioButton, QStringLiteral("J1850"), 60, 20, 40, 10, Disabled},
        {IDC_TX_J1939, ControlKind::RadioButton, QStringLiteral("J1939"), 106, 20, 40, 10, Disabled},
        {IDOK, ControlKind::PushButton, QStringLiteral("&Close"), 240, 58, 50, 14},
    };
    return t;
}

} // namespace res
