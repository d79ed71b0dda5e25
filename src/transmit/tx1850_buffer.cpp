#include "transmit/tx1850_buffer.h"

#include "transmit/tx_schedule_fields.h"

#include <algorithm>

namespace transmit {

namespace {
constexpr int kHeadBytes = 6;
}

std::unique_ptr<TxMessage> buildTx1850Message(const Tx1850Fields& fields) {
    auto message = newTxMessage(kJ1850);
    const int count = std::min<int>(fields.dataCount, kJ1850DataBytes);
    message->length = static_cast<int16_t>(count + kHeadBytes);
    fillSchedule(*message, fields.broadcastCount, fields.delay, fields.interval);
    const J1850Fields& h = fields.header;
    message->buffer[0] = 3;
    message->buffer[1] = 0;
    message->buffer[2] = static_cast<uint8_t>(count);
    message->buffer[3] = j1850HeaderByte(h.priority, h.addressType, h.typeModifier);
    message->buffer[4] = h.target;
    message->buffer[5] = h.source;
    fillDataBytes(*message, kHeadBytes, fields.dataValue.data(), count);
    return message;
}

bool refillTx1850Fields(const TxMessage& message, Tx1850Fields& fields) {
    if (message.protocol != kJ1850 || message.length < kHeadBytes ||
        message.buffer.size() < size_t(message.length))
        return false;
    // A loaded record may hold more data bytes than there are edits: take
    // as many as the edits hold.
    const int count = std::min<int>(message.length - kHeadBytes, kJ1850DataBytes);
    fields.header = j1850FieldsOfHeader(message.buffer[3], message.buffer[4], message.buffer[5]);
    fields.dataCount = static_cast<uint8_t>(count);
    for (int i = 0; i < count; ++i)
        fields.dataValue[i] = message.buffer[kHeadBytes + i];
    refillSchedule(message, fields.broadcastCount, fields.delay, fields.interval);
    return true;
}

} // namespace transmit
