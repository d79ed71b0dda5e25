#pragma once
// The transmit schedule of one row in one pass, as a pure decision on clock
// readings (32-bit milliseconds, compared by unsigned differences).

#include "transmit/tx_message.h"

#include <cstdint>

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

// Which client a message goes out on, given the set of open clients.
enum class SendTarget { J1708, J1850, J1939, NoClient };
SendTarget sendTarget(int32_t protocol, uint8_t connectedProtocols);

} // namespace transmit
