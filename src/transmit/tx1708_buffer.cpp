#include "transmit/tx1708_buffer.h"

#include "transmit/tx_schedule_fields.h"

#include <algorithm>

namespace transmit {

std::unique_ptr<TxMessage> buildTx1708Message(const Tx1708Fields& fields) {
    auto message = newTxMessage(kJ1708);
    const int count = std::min<int>(fields.dataCount, kJ1708DataBytes);
    message->length = static_cast<int16_t>(count + 3);
    fillSchedule(*message, fields.broadcastCount, fields.delay, fields.interval);
    message->buffer[0] = fields.priority;
    message->buffer[1] = fields.mid;
    message->buffer[2] = fields.pid;
    fillDataBytes(*message, 3, fields.dataValue.data(), count);
    return message;
}

bool refillTx1708Fields(const TxMessage& message, Tx1708Fields& fields) {
    if (message.protocol != kJ1708 || message.length < 3 || message.buffer.size() < size_t(message.length))
        return false;
    // A loaded record may hold more data bytes than there are edits: take
    // as many as the edits hold.
    const int count = std::min<int>(message.length - 3, kJ1708DataBytes);
    fields.priority = message.buffer[0];
    fields.mid = message.buffer[1];
    fields.pid = message.buffer[2];
    fields.dataCount = static_cast<uint8_t>(count);
    for (int i = 0; i < count; ++i)
        fields.dataValue[i] = message.buffer[3 + i];
    refillSchedule(message, fields.broadcastCount, fields.delay, fields.interval);
    return true;
}

} // namespace transmit
