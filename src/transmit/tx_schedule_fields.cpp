#include "transmit/tx_schedule_fields.h"

namespace transmit {

void fillSchedule(TxMessage& message, int32_t broadcastCount, int64_t delay, int64_t interval) {
    message.broadcastCount = static_cast<int16_t>(broadcastCount);
    message.delay = static_cast<uint16_t>(delay);
    message.interval = static_cast<uint16_t>(interval);
}

void fillDataBytes(TxMessage& message, int offset, const uint16_t* values, int count) {
    for (int i = 0; i < count && offset + i < int(message.buffer.size()); ++i)
        message.buffer[offset + i] = static_cast<uint8_t>(values[i]);
}

} // namespace transmit
