#include "transmit/schedule.h"

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
