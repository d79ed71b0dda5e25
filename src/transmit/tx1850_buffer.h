#pragma once
// The J1850 transmit buffer: 3, 0, the data count, the header byte, target,
// source and the data bytes; and the builder fields read back from it.

#include "transmit/j1850_identifier.h"
#include "transmit/tx_message.h"

#include <array>
#include <cstdint>
#include <memory>

namespace transmit {

inline constexpr int kJ1850DataBytes = 9;

// The builder's fields that make a J1850 message.
struct Tx1850Fields {
    J1850Fields header;
    uint8_t dataCount = 0; // 0 to 9
    std::array<uint16_t, kJ1850DataBytes> dataValue{};
    int32_t broadcastCount = 1;
    int32_t delay = 0;
    int32_t interval = 0;
};

// A complete record; a data count above 9 is taken as 9.
std::unique_ptr<TxMessage> buildTx1850Message(const Tx1850Fields& fields);

// Refills fields from a J1850 record (H and K are not read back): at most 9
// data bytes are taken (a loaded record may hold more), data values beyond
// them keep theirs. Returns false (fields untouched) for a record that is
// not J1850, shorter than its six head bytes, or longer than its buffer.
bool refillTx1850Fields(const TxMessage& message, Tx1850Fields& fields);

} // namespace transmit
