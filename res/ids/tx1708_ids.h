#pragma once
// Controls of the J1708 message builder (template 1048), besides the J1708
// field set; the schedule, data count and data ids are shared by all three
// builders.
#include "res/ids/j1708_fields.h"
#include "res/ids/tx_builder_ids.h"

namespace res {
enum Tx1708Control {
    IDC_TX1708_PRIORITY = 1061,
    IDC_TX1708_PRIORITY_SPIN = 1062,
    IDC_TX1708_CHECKSUM_HEX = 1069,
    IDC_TX1708_CHECKSUM_HEX_SPIN = 1070,
    IDC_TX1708_CHECKSUM_DEC = 1081,
    IDC_TX1708_CHECKSUM_DEC_SPIN = 1082,
};
} // namespace res
