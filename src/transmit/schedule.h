#pragma once
// The transmit schedule of one row in one pass, as a pure decision on clock
// readings (32-bit milliseconds, compared by unsigned differences).

#include "transmit/tx_message.h"

#include <cstdint>
#include <optional>

namespace transmit {

enum class RowDecision {
    Send,         // due now
    WaitDelay,    // not more than delay ms since the run started
    Exhausted,    // broadcast count reached (or 0 / negative other than -1)
    WaitInterval, // sent before and not more than interval ms since then
};

// What a pass does with a row holding message whose count in this run is
// rowCount, at clock reading now, in a run started at runStart.
RowDecision decideRow(const TxMessage& message, int32_t rowCount, uint32_t now, uint32_t runStart);

// Milliseconds from clock reading now until decideRow first answers Send
// for the row (0: it does now); nothing when only a change from outside (its
// count zeroed, its record replaced) can make it due again.
std::optional<uint32_t> msUntilDue(const TxMessage& message, int32_t rowCount, uint32_t now,
                                   uint32_t runStart);

// The earlier of two clock readings that lie less than 2^31 ms apart.
inline uint32_t earlierTick(uint32_t a, uint32_t b) {
    return int32_t(a - b) < 0 ? a : b;
}

// Which client a message goes out on, given the set of open clients.
enum class SendTarget { J1708, J1850, J1939, NoClient };
SendTarget sendTarget(int32_t protocol, uint8_t connectedProtocols);

} // namespace transmit
