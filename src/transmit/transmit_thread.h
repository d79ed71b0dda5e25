#pragma once
// The transmit thread and what it shares with the Transmit window.
#include "platform/event.h"

#include <atomic>
#include <cstdint>

namespace transmit {

struct TransmitShared {
    platform::AutoResetEvent* transmitEvent = nullptr; // created at start-up
    std::atomic<uint8_t> transmitStopped{1};
};
TransmitShared& transmitShared();

// The thread body: waits on transmitEvent while transmitStopped is set.
void TransmitThread();

} // namespace transmit
