#pragma once
// Controls of the J1939 receive filter beyond the J1939 field set: the
// read-only mask, the "Pass"/"Filter" radio buttons and the four criteria.
#include "res/ids/j1939_fields.h"

namespace res {
enum Filt1939Control {
    IDC_FILT1939_MASK = 1072,
    IDC_FILT1939_PASS = 1073,
    IDC_FILT1939_FILTER = 1074,
    IDC_FILT1939_USE_PRIORITY = 2027,
    IDC_FILT1939_USE_PGN = 2028,
    IDC_FILT1939_USE_DESTINATION = 2029,
    IDC_FILT1939_USE_SOURCE = 2030,
};
} // namespace res
