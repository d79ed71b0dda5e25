#pragma once
// Template pieces shared by the field-editor windows: the Dec/Hex switch with
// its captions and a paired row (caption, hexadecimal edit with up-down on the
// left, decimal edit with up-down on the right).
#include "platform/dialog_template.h"

#include <vector>

namespace res {

struct PairedRowSpec {
    QString caption; // shown left of the row
    QString name;    // accessible names: "<name> hexadecimal", "<name> decimal"
    int y = 0;       // top of the row, dialog units
    int hexEdit = 0, hexSpin = 0, decEdit = 0, decSpin = 0;
    unsigned hexStyle = platform::StyleNone;
    unsigned decStyle = platform::DigitsOnly | platform::Disabled;
    QString initialText = QStringLiteral("0");
};

// Column positions of the rows (dialog units).
inline constexpr int kRowCaptionX = 8;
inline constexpr int kRowHexX = 56;
inline constexpr int kRowDecX = 102;
inline constexpr int kRowEditWidth = 40;
inline constexpr int kRowEditHeight = 13;

// "Dec", the switch picture 1040 and "Hex", centred over the two columns.
void addDisplaySwitch(std::vector<platform::ControlSpec>& controls, int y);
void addPairedRow(std::vector<platform::ControlSpec>& controls, const PairedRowSpec& row);

} // namespace res
