#pragma once
// What every builder shares when it turns its fields into a record or is
// refilled from one: the schedule (broadcast count, delay, interval, each
// cut to 16 bits) and the data bytes (low 8 bits of each 16-bit value).

#include "transmit/tx_message.h"

#include <cstdint>

namespace transmit {

void fillSchedule(TxMessage& message, int32_t broadcastCount, int64_t delay, int64_t interval);
// The record's schedule into builder fields: the count sign-extended, delay
// and interval zero-extended.
template <typename Count, typename Ms>
void refillSchedule(const TxMessage& message, Count& broadcastCount, Ms& delay, Ms& interval) {
    broadcastCount = static_cast<Count>(message.broadcastCount);
    delay = static_cast<Ms>(message.delay);
    interval = static_cast<Ms>(message.interval);
}

// Writes the low bytes of values[0..count) from buffer byte offset on,
// never past the buffer.
void fillDataBytes(TxMessage& message, int offset, const uint16_t* values, int count);

} // namespace transmit
