#pragma once
// One transmit row's message: its protocol, schedule and the bytes handed to
// RP1210_SendMessage.

#include <cstdint>
#include <memory>
#include <vector>

namespace transmit {

// Protocol codes of TxMessage::protocol (and the transmit configuration file).
enum ProtocolCode : int32_t { kJ1708 = 1, kJ1850 = 2, kJ1939 = 3 };

// Buffer capacity of each protocol's record.
inline constexpr int kJ1708Capacity = 506;
inline constexpr int kJ1850Capacity = 514;
inline constexpr int kJ1939Capacity = 1791; // 6 + 1785

// Capacity for a protocol code; 0 for an unknown code.
int bufferCapacity(int32_t protocol);

struct TxMessage {
    int32_t protocol = 0;
    int16_t length = 0;         // bytes of buffer handed to the driver
    int16_t broadcastCount = 0; // sends per run; -1 without limit
    uint16_t delay = 0;         // ms after Start before the first send
    uint16_t interval = 0;      // ms between two sends
    uint32_t lastSentTime = 0;  // clock reading before the last good send; thread only
    uint8_t sentOnce = 0;       // set by the thread after the first good send
    std::vector<uint8_t> buffer;

    // length clamped to the buffer, so a send never reads past it.
    int16_t sendLength() const;
};

// A new record for a protocol code: all zero with the protocol's buffer
// capacity, except that a J1850 record's first byte is 3. Null for an
// unknown code.
std::unique_ptr<TxMessage> newTxMessage(int32_t protocol);

} // namespace transmit
