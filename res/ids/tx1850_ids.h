#pragma once
// Controls of the J1850 message builder (template 1056). Priority, the Source
// row and the Identifier edit have the J1939 field set's ids; the schedule,
// data count and first 9 data bytes are shared by all builders.
#include "res/ids/j1939_fields.h"
#include "res/ids/tx_builder_ids.h"

namespace res {
enum Tx1850Control {
    IDC_TX1850_TYPE_MODIFIER = 1065,
    IDC_TX1850_TYPE_MODIFIER_SPIN = 1066,
    IDC_TX1850_TARGET_HEX = 1067,
    IDC_TX1850_TARGET_HEX_SPIN = 1068,
    IDC_TX1850_IFR = 1076,
    IDC_TX1850_ADDRESS_TYPE = 1077,
    IDC_TX1850_TARGET_DEC = 1079,
    IDC_TX1850_TARGET_DEC_SPIN = 1080,
};
} // namespace res
