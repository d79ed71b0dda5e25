#include "res/dialogs/builder_rows.h"
#include "res/dialogs/field_rows.h"
#include "res/ids/tx1850_ids.h"
#include "res/templates.h"

namespace res {

using namespace platform;

namespace {

// The header's captions are longer than the field rows' caption column: the
// rows move right by this much and their captions widen to fill the gap.
constexpr int kShift = 30;
constexpr int kEditX = kRowHexX + kShift;

void shiftFrom(std::vector<ControlSpec>& controls, size_t first) {
    for (size_t i = first; i < controls.size(); ++i)
        controls[i].x += controls[i].kind == ControlKind::UpDown ? 0 : kShift;
}

void addWidePairedRow(std::vector<ControlSpec>& controls, const PairedRowSpec& row) {
    const size_t first = controls.size();
    addPairedRow(controls, row);
    shiftFrom(controls, first);
    controls[first].x = kRowCaptionX; // the caption
    controls[first].width += kShift;
}

} // namespace

DialogTemplate tx1850Template() {
    DialogTemplate t;
    t.id = IDD_TX1850;
    t.title = QStringLiteral("J1850 Transmit Message Builder");
    // The field rows' group, then the schedule column beside it.
    const int groupWidth = kRowDecX + kShift + kRowEditWidth + 6 - 4;
    const int scheduleX = 4 + groupWidth + 6;
    t.width = scheduleX + 116 + 6;
    t.height = 214;
    auto& c = t.controls;
    c.push_back({IDC_STATIC,
                 ControlKind::GroupBox,
                 QStringLiteral("Header"),
                 4,
                 2,
                 groupWidth,
                 154,
                 StyleNone,
                 0,
                 {}});
    const size_t switchAt = c.size();
    addDisplaySwitch(c, 10);
    shiftFrom(c, switchAt);
    addNumberRow(c, QStringLiteral("Priority"), kRowCaptionX, kEditX, 34, IDC_PRIORITY, IDC_PRIORITY_SPIN);
    c.push_back({IDC_STATIC,
                 ControlKind::Label,
                 QStringLiteral("IFR"),
                 kRowCaptionX,
                 53,
                 kEditX - 12,
                 9,
                 StyleNone,
                 0,
                 {}});
    c.push_back({IDC_TX1850_IFR, ControlKind::Edit, QStringLiteral("Not allowed"), kEditX, 51, 56,
                 kRowEditHeight, Disabled, 0, QStringLiteral("IFR")});
    c.push_back({IDC_STATIC,
                 ControlKind::Label,
                 QStringLiteral("Address Type"),
                 kRowCaptionX,
                 70,
                 kEditX - 12,
                 9,
                 StyleNone,
                 0,
                 {}});
    c.push_back({IDC_TX1850_ADDRESS_TYPE, ControlKind::ComboBox, QStringLiteral("Functional\nPhysical"),
                 kEditX, 68, 56, 14, StyleNone, 0, QStringLiteral("Address Type")});
    addNumberRow(c, QStringLiteral("Type Modifier"), kRowCaptionX, kEditX, 86, IDC_TX1850_TYPE_MODIFIER,
                 IDC_TX1850_TYPE_MODIFIER_SPIN);
    addWidePairedRow(c, {QStringLiteral("Target/Primary ID"), QStringLiteral("Target/Primary ID"), 103,
                         IDC_TX1850_TARGET_HEX, IDC_TX1850_TARGET_HEX_SPIN, IDC_TX1850_TARGET_DEC,
                         IDC_TX1850_TARGET_DEC_SPIN});
    addWidePairedRow(c, {QStringLiteral("Source"), QStringLiteral("Source"), 120, IDC_SOURCE_HEX,
                         IDC_SOURCE_HEX_SPIN, IDC_SOURCE_DEC, IDC_SOURCE_DEC_SPIN});
    c.push_back({IDC_STATIC,
                 ControlKind::Label,
                 QStringLiteral("Identifier"),
                 kRowCaptionX,
                 139,
                 kEditX - 12,
                 9,
                 StyleNone,
                 0,
                 {}});
    c.push_back({IDC_IDENTIFIER, ControlKind::Edit, QStringLiteral("80000"), kEditX, 137,
                 kRowDecX + kRowEditWidth - kRowHexX, kRowEditHeight, StyleNone, 0,
                 QStringLiteral("Identifier")});

    addScheduleGroups(c, scheduleX, 2);
    addDataRow(c, 9, 4, 160, t.width - 8);
    addOkCancel(c, t.width - 118, 196);
    return t;
}

} // namespace res
