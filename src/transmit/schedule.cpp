#include "transmit/schedule.h"

#include <algorithm>

namespace transmit {

RowDecision decideRow(const TxMessage& message, int32_t rowCount, uint32_t now, uint32_t runStart) {
    if (uint32_t(now - runStart) <= message.delay)
        return RowDecision::WaitDelay;
    if (message.broadcastCount != -1 && int32_t{message.broadcastCount} <= rowCount)
        return RowDecision::Exhausted;
    if (message.sentOnce && uint32_t(now - message.lastSentTime) <= message.interval)
        return RowDecision::WaitInterval;
    return RowDecision::Send;
}

std::optional<uint32_t> msUntilDue(const TxMessage& message, int32_t rowCount, uint32_t now,
                                   uint32_t runStart) {
    if (message.broadcastCount != -1 && int32_t{message.broadcastCount} <= rowCount)
        return std::nullopt;
    // Each wait ends at the first reading strictly past its limit; both
    // limits fit in 16 bits, so the sums cannot wrap.
    uint32_t wait = 0;
    if (const uint32_t sinceStart = now - runStart; sinceStart <= message.delay)
        wait = uint32_t{message.delay} + 1 - sinceStart;
    if (message.sentOnce) {
        if (const uint32_t sinceSent = now - message.lastSentTime; sinceSent <= message.interval)
            wait = std::max(wait, uint32_t{message.interval} + 1 - sinceSent);
    }
    return wait;
}

SendTarget sendTarget(int32_t protocol, uint8_t connectedProtocols) {
    if ((connectedProtocols & 4) && protocol == kJ1939)
        return SendTarget::J1939;
    if ((connectedProtocols & 2) && protocol == kJ1850)
        return SendTarget::J1850;
    if ((connectedProtocols & 1) && protocol == kJ1708)
        return SendTarget::J1708;
    return SendTarget::NoClient;
}

} // namespace transmit
