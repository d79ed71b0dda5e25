#include "transmit/tx_message.h"

#include <algorithm>

namespace transmit {

int bufferCapacity(int32_t protocol) {
    switch (protocol) {
    case kJ1708:
        return kJ1708Capacity;
    case kJ1850:
        return kJ1850Capacity;
    case kJ1939:
        return kJ1939Capacity;
    default:
        return 0;
    }
}

int16_t TxMessage::sendLength() const {
    return static_cast<int16_t>(std::clamp<int>(length, 0, static_cast<int>(buffer.size())));
}

std::unique_ptr<TxMessage> newTxMessage(int32_t protocol) {
    const int capacity = bufferCapacity(protocol);
    if (capacity == 0)
        return nullptr;
    auto message = std::make_unique<TxMessage>();
    message->protocol = protocol;
    message->buffer.assign(capacity, 0);
    if (protocol == kJ1850)
        message->buffer[0] = 3;
    return message;
}

} // namespace transmit
