#include "res/ids/transmit_ids.h"
#include "res/templates.h"

namespace res {

using namespace platform;

namespace {
// A control with every field given, so that none is left to a default.
ControlSpec control(int id, ControlKind kind, const QString& caption, int x, int y, int width, int height,
                    unsigned style = StyleNone, int buddy = 0, const QString& accessibleName = {}) {
    return ControlSpec{id, kind, caption, x, y, width, height, style, buddy, accessibleName};
}
} // namespace

DialogTemplate transmitTemplate() {
    DialogTemplate t;
    t.id = IDD_TRANSMIT;
    t.title = QStringLiteral("Transmit");
    t.width = 336;
    t.height = 338;
    t.controls = {
        control(IDC_STATIC, ControlKind::GroupBox, QStringLiteral("Tx Window Config"), 7, 4, 76, 46),
        control(IDC_TX_LOAD, ControlKind::PushButton, QStringLiteral("Load"), 15, 15, 60, 13),
        control(IDC_TX_SAVE, ControlKind::PushButton, QStringLiteral("Save"), 15, 31, 60, 13),
        control(IDC_STATIC, ControlKind::GroupBox, QStringLiteral("Protocol"), 89, 4, 240, 46),
        control(IDC_TX_J1708, ControlKind::RadioButton, QStringLiteral("J1708"), 97, 16, 40, 10,
                Disabled | Group),
        control(IDC_TX_J1850, ControlKind::RadioButton, QStringLiteral("J1850"), 142, 16, 40, 10, Disabled),
        control(IDC_TX_J1939, ControlKind::RadioButton, QStringLiteral("J1939"), 187, 16, 40, 10, Disabled),
        control(IDC_TX_CREATE, ControlKind::PushButton, QStringLiteral("Create &Message"), 97, 31, 72, 13),
        control(IDC_TX_DELETE, ControlKind::PushButton, QStringLiteral("&Delete Message"), 175, 31, 72, 13),
        control(IDC_TX_ECHO, ControlKind::CheckBox, QStringLiteral("Echo"), 10, 57, 40, 10),
        control(IDC_TX_BLOCKING, ControlKind::CheckBox, QStringLiteral("Blocking"), 56, 57, 50, 10),
        control(IDC_STATIC, ControlKind::Label, QStringLiteral("Messages Transmitted"), 180, 58, 84, 8,
                RightText),
        control(IDC_TX_TOTAL, ControlKind::Edit, QString(), 268, 55, 60, 12, ReadOnly | RightText, 0,
                QStringLiteral("Messages Transmitted")),
    };
    // The sixteen rows: one radio group, only rows 1 to 3 usable.
    for (int row = 0; row < 16; ++row) {
        const int y = 73 + row * 14;
        const QString number = QString::number(row + 1);
        const unsigned usable = row < kUsableTransmitRows ? StyleNone : Disabled;
        t.controls.push_back(control(kTransmitRowIds[row].radio, ControlKind::RadioButton, QString(), 10,
                                     y + 1, 12, 10, usable | (row == 0 ? Group : StyleNone), 0,
                                     QStringLiteral("Row ") + number));
        t.controls.push_back(control(kTransmitRowIds[row].summary, ControlKind::Edit, QString(), 24, y, 240,
                                     12, ReadOnly, 0, QStringLiteral("Row %1 message").arg(number)));
        t.controls.push_back(control(kTransmitRowIds[row].count, ControlKind::Edit, QString(), 268, y, 60, 12,
                                     ReadOnly | RightText, 0, QStringLiteral("Row %1 count").arg(number)));
    }
    const int bottom = 73 + 16 * 14 + 2;
    t.controls.push_back(control(IDC_STATIC, ControlKind::GroupBox, QString(), 7, bottom, 322, 30));
    t.controls.push_back(
        control(IDC_TX_START, ControlKind::PushButton, QStringLiteral("&Start"), 15, bottom + 10, 70, 14));
    t.controls.push_back(control(IDC_TX_CLEAR_COUNT, ControlKind::PushButton, QStringLiteral("C&lear Count"),
                                 93, bottom + 10, 70, 14));
    t.controls.push_back(control(IDC_TX_PLAYBACK, ControlKind::PushButton, QStringLiteral("&Playback"), 171,
                                 bottom + 10, 70, 14, Disabled));
    t.controls.push_back(
        control(IDC_TX_CLOSE, ControlKind::PushButton, QStringLiteral("&Close"), 251, bottom + 10, 70, 14));
    return t;
}

} // namespace res
