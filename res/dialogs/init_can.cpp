#include "res/ids/init_can_ids.h"
#include "res/templates.h"

namespace res {

using namespace platform;

namespace {
struct ClaimRow {
    const char* caption;
    int edit;
    int spin;
    unsigned editStyle;
    unsigned spinStyle;
    const char* initial;
};
} // namespace

DialogTemplate initCanTemplate() {
    DialogTemplate t;
    t.id = IDD_INIT_CAN;
    t.title = QStringLiteral("Init CAN");
    t.width = 158;
    t.height = 185;
    t.controls.push_back({IDC_STATIC,
                          ControlKind::GroupBox,
                          QStringLiteral("Network Address Claim"),
                          6,
                          4,
                          146,
                          154,
                          StyleNone,
                          0,
                          {}});
    const ClaimRow rows[] = {
        {"Network Address", IDC_CLAIM_ADDRESS, IDC_CLAIM_ADDRESS_SPIN, StyleNone, StyleNone, "F9"},
        {"Arbitrary Address Capable", IDC_CLAIM_ARBITRARY, 0, StyleNone, StyleNone, nullptr},
        {"Industry Group", IDC_CLAIM_INDUSTRY_GROUP, IDC_CLAIM_INDUSTRY_GROUP_SPIN, DigitsOnly, AutoBuddy,
         "0"},
        {"Vehicle System Instance", IDC_CLAIM_VEHICLE_INSTANCE, IDC_CLAIM_VEHICLE_INSTANCE_SPIN, StyleNone,
         StyleNone, "0"},
        {"Vehicle System", IDC_CLAIM_VEHICLE_SYSTEM, IDC_CLAIM_VEHICLE_SYSTEM_SPIN, StyleNone, StyleNone,
         "0"},
        {"Function", IDC_CLAIM_FUNCTION, IDC_CLAIM_FUNCTION_SPIN, StyleNone, StyleNone, "81"},
        {"Function Instance", IDC_CLAIM_FUNCTION_INSTANCE, IDC_CLAIM_FUNCTION_INSTANCE_SPIN, StyleNone,
         StyleNone, "0"},
        {"ECU Instance", IDC_CLAIM_ECU_INSTANCE, IDC_CLAIM_ECU_INSTANCE_SPIN, DigitsOnly, AutoBuddy, "0"},
        {"Manufacturer Code", IDC_CLAIM_MANUFACTURER, IDC_CLAIM_MANUFACTURER_SPIN, StyleNone, StyleNone, "B"},
        {"Identity Number", IDC_CLAIM_IDENTITY, IDC_CLAIM_IDENTITY_SPIN, StyleNone, StyleNone, "1"},
    };
    int y = 16;
    for (const ClaimRow& row : rows) {
        const QString caption = QString::fromLatin1(row.caption);
        t.controls.push_back({IDC_STATIC, ControlKind::Label, caption, 10, y + 2, 93, 9, StyleNone, 0, {}});
        if (row.spin == 0) {
            t.controls.push_back({row.edit, ControlKind::ComboBox, QStringLiteral("False\nTrue"), 104, y, 44,
                                  14, StyleNone, 0, caption});
        } else {
            t.controls.push_back({row.edit, ControlKind::Edit, QString::fromLatin1(row.initial), 104, y, 44,
                                  12, row.editStyle, 0, caption});
            t.controls.push_back(
                {row.spin, ControlKind::UpDown, {}, 0, 0, 0, 0, AlignRight | row.spinStyle, row.edit, {}});
        }
        y += 14;
    }
    t.controls.push_back(
        {IDOK, ControlKind::DefPushButton, QStringLiteral("OK"), 22, 164, 50, 14, StyleNone, 0, {}});
    t.controls.push_back(
        {IDCANCEL, ControlKind::PushButton, QStringLiteral("Cancel"), 86, 164, 50, 14, StyleNone, 0, {}});
    return t;
}

} // namespace res
