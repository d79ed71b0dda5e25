#pragma once
// The J1939 transmit buffer as RP1210_SendMessage takes it: the PGN in three
// bytes (least significant first), the priority, the source address, the
// destination address and the data. For PF 240 and above the byte captioned
// Destination is the group extension (the PGN's low byte) and the
// destination byte is 0; below 240 the PGN's low byte is 0.

#include "transmit/tx_message.h"

#include <array>
#include <cstdint>
#include <memory>

namespace transmit {

inline constexpr int kJ1939DataBytes = 8;
inline constexpr uint8_t kJ1939FirstBroadcastPf = 240;

// The builder's fields that make a J1939 message.
struct Tx1939Fields {
    uint8_t priority = 0; // 0 to 7
    uint8_t page = 0;     // 0 or 1
    uint8_t pf = 0;
    uint8_t destination = 0; // PS: destination address or group extension
    uint8_t source = 0;
    uint8_t dataCount = 0; // 0 to 8
    std::array<uint16_t, kJ1939DataBytes> dataValue{};
    int32_t broadcastCount = 1;
    int32_t delay = 0;
    int32_t interval = 0;
};

// A complete record; a data count above 8 is taken as 8.
std::unique_ptr<TxMessage> buildTx1939Message(const Tx1939Fields& fields);

// Refills fields from a J1939 record: Destination from byte 0 OR byte 5,
// priority and page cut to their widths, at most 8 data bytes taken (a loaded
// record may hold more), data values beyond them kept. Returns false (fields
// untouched) for a record that is not J1939, shorter than its six head
// bytes, or longer than its buffer.
bool refillTx1939Fields(const TxMessage& message, Tx1939Fields& fields);

} // namespace transmit
