#pragma once
// The transmit thread and what it shares with the Transmit window.
#include "platform/event.h"
#include "transmit/transmit_table.h"

#include <atomic>
#include <cstdint>

namespace transmit {

struct TransmitShared {
    platform::AutoResetEvent* transmitEvent = nullptr; // created at start-up
    std::atomic<uint8_t> transmitStopped{1};
    // Counts Start presses, so each Start begins a run of its own even when
    // the thread never saw the Stop before it.
    std::atomic<uint32_t> startRequests{0};
    // True while the thread waits on transmitEvent (tests wait for it).
    std::atomic<bool> threadIdle{false};
    TransmitTable table;

    // Start: a new run is wanted; wakes the thread.
    void requestStart();
    // Stop: the thread finishes its pass and waits.
    void requestStop();
};
TransmitShared& transmitShared();

// The thread body: waits on transmitEvent while transmitStopped is set;
// while a run goes on, passes over the rows and sleeps between passes until
// the first moment a row can be due, or until Start, Stop or a change of the
// rows or counts.
void TransmitThread();

// The loop of TransmitThread on any shared record and world (tests, bench);
// never returns.
[[noreturn]] void runTransmitThread(TransmitShared& shared, TransmitIo& io);

} // namespace transmit
