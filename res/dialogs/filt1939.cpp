#include "res/dialogs/field_rows.h"
#include "res/ids/filt1939_ids.h"
#include "res/templates.h"

namespace res {

using namespace platform;

DialogTemplate filt1939Template() {
    DialogTemplate t;
    t.id = IDD_FILT1939;
    t.title = QStringLiteral("J1939 Receive Message Filter");
    t.width = 232;
    t.height = 168;
    addDisplaySwitch(t.controls, 6);
    const std::vector<ControlSpec> top = {
        {IDC_STATIC,
         ControlKind::Label,
         QStringLiteral("Priority"),
         kRowCaptionX,
         34,
         38,
         9,
         StyleNone,
         0,
         {}},
        {IDC_PRIORITY, ControlKind::Edit, QStringLiteral("0"), kRowHexX, 32, kRowEditWidth, kRowEditHeight,
         DigitsOnly, 0, QStringLiteral("Priority")},
        {IDC_PRIORITY_SPIN, ControlKind::UpDown, {}, 0, 0, 0, 0, AlignRight | AutoBuddy, IDC_PRIORITY, {}},
        {IDC_STATIC, ControlKind::Label, QStringLiteral("Page"), kRowCaptionX, 52, 38, 9, StyleNone, 0, {}},
        {IDC_PAGE, ControlKind::Edit, QStringLiteral("0"), kRowHexX, 50, kRowEditWidth, kRowEditHeight,
         DigitsOnly, 0, QStringLiteral("Page")},
        {IDC_PAGE_SPIN, ControlKind::UpDown, {}, 0, 0, 0, 0, AlignRight | AutoBuddy, IDC_PAGE, {}},
    };
    t.controls.insert(t.controls.end(), top.begin(), top.end());
    addPairedRow(t.controls, {QStringLiteral("PGN"), QStringLiteral("PGN"), 68, IDC_PGN_HEX, IDC_PGN_HEX_SPIN,
                              IDC_PGN_DEC, IDC_PGN_DEC_SPIN});
    addPairedRow(t.controls, {QStringLiteral("Destination"), QStringLiteral("Destination"), 86, IDC_DEST_HEX,
                              IDC_DEST_HEX_SPIN, IDC_DEST_DEC, IDC_DEST_DEC_SPIN});
    addPairedRow(t.controls, {QStringLiteral("Source"), QStringLiteral("Source"), 104, IDC_SOURCE_HEX,
                              IDC_SOURCE_HEX_SPIN, IDC_SOURCE_DEC, IDC_SOURCE_DEC_SPIN});
    const std::vector<ControlSpec> rest = {
        {IDC_STATIC,
         ControlKind::Label,
         QStringLiteral("Identifier"),
         kRowCaptionX,
         124,
         38,
         9,
         StyleNone,
         0,
         {}},
        {IDC_IDENTIFIER, ControlKind::Edit, QStringLiteral("0"), kRowHexX, 122, 64, kRowEditHeight, StyleNone,
         0, QStringLiteral("Identifier")},
        {IDC_STATIC, ControlKind::Label, QStringLiteral("Mask"), kRowCaptionX, 142, 38, 9, StyleNone, 0, {}},
        {IDC_FILT1939_MASK, ControlKind::Edit, QStringLiteral("0"), kRowHexX, 140, 64, kRowEditHeight,
         ReadOnly, 0, QStringLiteral("Mask")},

        {IDC_STATIC,
         ControlKind::GroupBox,
         QStringLiteral("Filter all by"),
         148,
         28,
         76,
         100,
         StyleNone,
         0,
         {}},
        {IDC_FILT1939_PASS, ControlKind::RadioButton, QStringLiteral("Pass"), 156, 40, 60, 10, Group, 0, {}},
        {IDC_FILT1939_FILTER,
         ControlKind::RadioButton,
         QStringLiteral("Filter"),
         156,
         52,
         60,
         10,
         StyleNone,
         0,
         {}},
        {IDC_FILT1939_USE_PRIORITY, ControlKind::CheckBox, QStringLiteral("Priority"), 156, 68, 60, 10,
         StyleNone, 0, QStringLiteral("Filter by Priority")},
        {IDC_FILT1939_USE_PGN, ControlKind::CheckBox, QStringLiteral("PGN"), 156, 82, 60, 10, StyleNone, 0,
         QStringLiteral("Filter by PGN")},
        {IDC_FILT1939_USE_DESTINATION, ControlKind::CheckBox, QStringLiteral("Destination"), 156, 96, 60, 10,
         StyleNone, 0, QStringLiteral("Filter by Destination")},
        {IDC_FILT1939_USE_SOURCE, ControlKind::CheckBox, QStringLiteral("Source"), 156, 110, 60, 10,
         StyleNone, 0, QStringLiteral("Filter by Source")},
        {IDOK, ControlKind::DefPushButton, QStringLiteral("OK"), 160, 132, 54, 14, StyleNone, 0, {}},
        {IDCANCEL, ControlKind::PushButton, QStringLiteral("Cancel"), 160, 150, 54, 14, StyleNone, 0, {}},
    };
    t.controls.insert(t.controls.end(), rest.begin(), rest.end());
    return t;
}

} // namespace res
