#pragma once
// Controls of the J1708 receive filter beyond the J1708 field set: the two
// mask rows (always disabled) and the "Pass"/"Filter" radio buttons.
#include "res/ids/j1708_fields.h"

namespace res {
enum Filt1708Control {
    IDC_FILT1708_PID_MASK_HEX = 1069,
    IDC_FILT1708_PID_MASK_HEX_SPIN = 1070,
    IDC_FILT1708_MID_MASK_HEX = 1071,
    IDC_FILT1708_MID_MASK_HEX_SPIN = 1072,
    IDC_FILT1708_PASS = 1073,
    IDC_FILT1708_FILTER = 1074,
    IDC_FILT1708_PID_MASK_DEC = 1081,
    IDC_FILT1708_PID_MASK_DEC_SPIN = 1082,
    IDC_FILT1708_MID_MASK_DEC = 1083,
    IDC_FILT1708_MID_MASK_DEC_SPIN = 1084,
};
} // namespace res
