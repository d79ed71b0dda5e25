#pragma once
// Controls of the J1708 field set: MID and PID, each as a hexadecimal and a
// decimal edit with an up-down beside each.
#include "res/ids/field_common.h"

namespace res {
enum J1708FieldControl {
    IDC_MID_HEX = 1065,
    IDC_MID_HEX_SPIN = 1066,
    IDC_PID_HEX = 1067,
    IDC_PID_HEX_SPIN = 1068,
    IDC_MID_DEC = 1077,
    IDC_MID_DEC_SPIN = 1078,
    IDC_PID_DEC = 1079,
    IDC_PID_DEC_SPIN = 1080,
};
} // namespace res
