#include "res/dialogs/field_rows.h"

#include "res/ids/field_common.h"

namespace res {

using namespace platform;

void addDisplaySwitch(std::vector<ControlSpec>& controls, int y) {
    const int centre = (kRowHexX + kRowDecX + kRowEditWidth) / 2;
    controls.push_back(
        {IDC_STATIC, ControlKind::Label, QStringLiteral("Dec"), centre - 32, y + 6, 20, 9, RightText, 0, {}});
    controls.push_back({IDC_DISPLAY_SWITCH,
                        ControlKind::Picture,
                        {},
                        centre - 10,
                        y,
                        20,
                        20,
                        Notify,
                        0,
                        QStringLiteral("Display base switch")});
    controls.push_back(
        {IDC_STATIC, ControlKind::Label, QStringLiteral("Hex"), centre + 12, y + 6, 20, 9, StyleNone, 0, {}});
}

void addPairedRow(std::vector<ControlSpec>& controls, const PairedRowSpec& row) {
    controls.push_back({IDC_STATIC,
                        ControlKind::Label,
                        row.caption,
                        kRowCaptionX,
                        row.y + 2,
                        kRowHexX - 10,
                        9,
                        StyleNone,
                        0,
                        {}});
    controls.push_back({row.hexEdit, ControlKind::Edit, row.initialText, kRowHexX, row.y, kRowEditWidth,
                        kRowEditHeight, row.hexStyle, 0, row.name + QStringLiteral(" hexadecimal")});
    controls.push_back({row.hexSpin, ControlKind::UpDown, {}, 0, 0, 0, 0, AlignRight, row.hexEdit, {}});
    controls.push_back({row.decEdit, ControlKind::Edit, row.initialText, kRowDecX, row.y, kRowEditWidth,
                        kRowEditHeight, row.decStyle, 0, row.name + QStringLiteral(" decimal")});
    controls.push_back({row.decSpin, ControlKind::UpDown, {}, 0, 0, 0, 0, AlignRight, row.decEdit, {}});
}

} // namespace res
