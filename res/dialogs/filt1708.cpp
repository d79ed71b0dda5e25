#include "res/dialogs/field_rows.h"
#include "res/ids/filt1708_ids.h"
#include "res/templates.h"

namespace res {

using namespace platform;

DialogTemplate filt1708Template() {
    DialogTemplate t;
    t.id = IDD_FILT1708;
    t.title = QStringLiteral("J1708 Receive Message Filter");
    t.width = 224;
    t.height = 112;
    addDisplaySwitch(t.controls, 6);
    addPairedRow(t.controls, {QStringLiteral("MID"), QStringLiteral("MID"), 32, IDC_MID_HEX, IDC_MID_HEX_SPIN,
                              IDC_MID_DEC, IDC_MID_DEC_SPIN});
    addPairedRow(t.controls,
                 {QStringLiteral("Mask"), QStringLiteral("MID mask"), 50, IDC_FILT1708_MID_MASK_HEX,
                  IDC_FILT1708_MID_MASK_HEX_SPIN, IDC_FILT1708_MID_MASK_DEC, IDC_FILT1708_MID_MASK_DEC_SPIN,
                  Disabled, Disabled, QStringLiteral("FF")});
    addPairedRow(t.controls, {QStringLiteral("PID"), QStringLiteral("PID"), 68, IDC_PID_HEX, IDC_PID_HEX_SPIN,
                              IDC_PID_DEC, IDC_PID_DEC_SPIN, Disabled});
    addPairedRow(t.controls, {QStringLiteral("Mask"), QStringLiteral("PID mask"), 86,
                              IDC_FILT1708_PID_MASK_HEX, IDC_FILT1708_PID_MASK_HEX_SPIN,
                              IDC_FILT1708_PID_MASK_DEC, IDC_FILT1708_PID_MASK_DEC_SPIN, Disabled, Disabled});
    const std::vector<ControlSpec> right = {
        {IDC_STATIC,
         ControlKind::GroupBox,
         QStringLiteral("Filter all by"),
         144,
         28,
         72,
         44,
         StyleNone,
         0,
         {}},
        {IDC_FILT1708_PASS, ControlKind::RadioButton, QStringLiteral("Pass"), 152, 40, 56, 10, Group, 0, {}},
        {IDC_FILT1708_FILTER,
         ControlKind::RadioButton,
         QStringLiteral("Filter"),
         152,
         54,
         56,
         10,
         StyleNone,
         0,
         {}},
        {IDOK, ControlKind::DefPushButton, QStringLiteral("OK"), 154, 76, 54, 14, StyleNone, 0, {}},
        {IDCANCEL, ControlKind::PushButton, QStringLiteral("Cancel"), 154, 94, 54, 14, StyleNone, 0, {}},
    };
    t.controls.insert(t.controls.end(), right.begin(), right.end());
    return t;
}

} // namespace res
