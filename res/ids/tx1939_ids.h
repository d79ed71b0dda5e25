#pragma once
// Controls of the J1939 message builder (template 1047): the J1939 field set
// and the schedule, data count and first 8 data bytes shared by all builders.
#include "res/ids/j1939_fields.h"
#include "res/ids/tx_builder_ids.h"
