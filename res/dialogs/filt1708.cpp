#include "res/dialogs/field_rows.h"
#include "res/ids/j1708_fields.h"
#include "res/templates.h"

namespace res {

using namespace platform;

namespace {
// Controls of the J1708 filter beyond the field set.
enum Filt1708Control {
    IDC_MID_MASK_HEX = 1071,
    IDC_MID_MASK_HEX_SPIN = 1072,
    IDC_MID_MASK_DEC = 1083,
    IDC_MID_MASK_DEC_SPIN = 1084,
    IDC_PID_MASK_HEX = 1069,
    IDC_PID_MASK_HEX_SPIN = 1070,
    IDC_PID_MASK_DEC = 1081,
    IDC_PID_MASK_DEC_SPIN = 1082,
    IDC_FILTER_PASS = 1073,
    IDC_FILTER_FILTER = 1074,
};
} // namespace

DialogTemplate filt1708Template() {
    DialogTemplate t;
    t.id = IDD_FILT1708;
    t.title = QStringLiteral("J1708 Receive Message Filter");
    t.width = 224;
    t.height = 112;
    addDisplaySwitch(t.controls, 6);
    addPairedRow(t.controls, {QStringLiteral("MID"), QStringLiteral("MID"), 32, IDC_MID_HEX, IDC_MID_HEX_SPIN,
                              IDC_MID_DEC, IDC_MID_DEC_SPIN});
    addPairedRow(t.controls, {QStringLiteral("Mask"), QStringLiteral("MID mask"), 50, IDC_MID_MASK_HEX,
                              IDC_MID_MASK_HEX_SPIN, IDC_MID_MASK_DEC, IDC_MID_MASK_DEC_SPIN, Disabled,
                              Disabled, QStringLiteral("FF")});
    addPairedRow(t.controls, {QStringLiteral("PID"), QStringLiteral("PID"), 68, IDC_PID_HEX, IDC_PID_HEX_SPIN,
                              IDC_PID_DEC, IDC_PID_DEC_SPIN, Disabled});
    addPairedRow(t.controls,
                 {QStringLiteral("Mask"), QStringLiteral("PID mask"), 86, IDC_PID_MASK_HEX,
                  IDC_PID_MASK_HEX_SPIN, IDC_PID_MASK_DEC, IDC_PID_MASK_DEC_SPIN, Disabled, Disabled});
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
        {IDC_FILTER_PASS, ControlKind::RadioButton, QStringLiteral("Pass"), 152, 40, 56, 10, Group, 0, {}},
        {IDC_FILTER_FILTER,
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
