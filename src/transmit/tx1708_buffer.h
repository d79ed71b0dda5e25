#pragma once
// The J1708 transmit buffer: priority, MID, PID and the data bytes, without
// checksum (the adapter adds it), and the builder fields read back from it.

#include "transmit/tx_message.h"

#include <array>
#include <cstdint>
#include <memory>

namespace transmit {

inline constexpr int kJ1708DataBytes = 19;

// The builder's fields that make a J1708 message.
struct Tx1708Fields {
    uint8_t priority = 0;
    uint8_t mid = 0;
    uint8_t pid = 0;
    uint8_t dataCount = 0; // 0 to 19
    std::array<uint16_t, kJ1708DataBytes> dataValue{};
    int32_t broadcastCount = 1;
    int32_t delay = 0;
    int32_t interval = 0;
};

// A complete record; a data count above 19 is taken as 19.
std::unique_ptr<TxMessage> buildTx1708Message(const Tx1708Fields& fields);

// Refills fields from a J1708 record: at most 19 data bytes are taken (a
// loaded record may hold more), data values beyond them keep theirs.
// Returns false (fields untouched) for a record that is not J1708, shorter
// than priority, MID and PID, or longer than its buffer.
bool refillTx1708Fields(const TxMessage& message, Tx1708Fields& fields);

} // namespace transmit
