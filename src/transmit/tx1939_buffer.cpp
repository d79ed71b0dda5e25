#include "transmit/tx1939_buffer.h"

#include "transmit/tx_schedule_fields.h"

#include <algorithm>

namespace transmit {

namespace {
constexpr int kHeadBytes = 6;
}

std::unique_ptr<TxMessage> buildTx1939Message(const Tx1939Fields& fields) {
    auto message = newTxMessage(kJ1939);
    const int count = std::min<int>(fields.dataCount, kJ1939DataBytes);
    const bool broadcast = fields.pf >= kJ1939FirstBroadcastPf;
    message->length = static_cast<int16_t>(count + kHeadBytes);
    fillSchedule(*message, fields.broadcastCount, fields.delay, fields.interval);
    message->buffer[0] = broadcast ? fields.destination : 0;
    message->buffer[1] = fields.pf;
    message->buffer[2] = fields.page;
    message->buffer[3] = static_cast<uint8_t>(fields.priority & 0x7); // transport-mode bit 7 clear
    message->buffer[4] = fields.source;
    message->buffer[5] = broadcast ? 0 : fields.destination;
    fillDataBytes(*message, kHeadBytes, fields.dataValue.data(), count);
    return message;
}

bool refillTx1939Fields(const TxMessage& message, Tx1939Fields& fields) {
    if (message.protocol != kJ1939 || message.length < kHeadBytes ||
        message.buffer.size() < size_t(message.length))
        return false;
    // A loaded record may hold more data bytes than there are edits: take
    // as many as the edits hold.
    const int count = std::min<int>(message.length - kHeadBytes, kJ1939DataBytes);
    // A record read from a file may carry bits the fields cannot hold.
    fields.priority = static_cast<uint8_t>(message.buffer[3] & 0x7);
    fields.page = static_cast<uint8_t>(message.buffer[2] & 0x1);
    fields.pf = message.buffer[1];
    fields.destination = static_cast<uint8_t>(message.buffer[5] | message.buffer[0]);
    fields.source = message.buffer[4];
    fields.dataCount = static_cast<uint8_t>(count);
    for (int i = 0; i < count; ++i)
        fields.dataValue[i] = message.buffer[kHeadBytes + i];
    refillSchedule(message, fields.broadcastCount, fields.delay, fields.interval);
    return true;
}

} // namespace transmit
