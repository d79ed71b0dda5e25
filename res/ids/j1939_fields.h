#pragma once
// Controls of the J1939 field set: Priority, Page, the paired PGN (PF),
// Destination (PS) and Source rows, and the Identifier edit.
#include "res/ids/field_common.h"

namespace res {
enum J1939FieldControl {
    IDC_PRIORITY = 1061,
    IDC_PRIORITY_SPIN = 1062,
    IDC_PAGE = 1063,
    IDC_PAGE_SPIN = 1064,
    IDC_PGN_HEX = 1065,
    IDC_PGN_HEX_SPIN = 1066,
    IDC_DEST_HEX = 1067,
    IDC_DEST_HEX_SPIN = 1068,
    IDC_SOURCE_HEX = 1069,
    IDC_SOURCE_HEX_SPIN = 1070,
    IDC_IDENTIFIER = 1071,
    IDC_PGN_DEC = 1077,
    IDC_PGN_DEC_SPIN = 1078,
    IDC_DEST_DEC = 1079,
    IDC_DEST_DEC_SPIN = 1080,
    IDC_SOURCE_DEC = 1081,
    IDC_SOURCE_DEC_SPIN = 1082,
};
} // namespace res
