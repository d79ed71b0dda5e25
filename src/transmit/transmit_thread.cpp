#include "transmit/transmit_thread.h"

namespace transmit {

TransmitShared& transmitShared() {
    static TransmitShared* shared = new TransmitShared; // outlives the threads
    return *shared;
}

void TransmitShared::requestStart() {
    startRequests.fetch_add(1);
    transmitStopped.store(0);
    if (transmitEvent)
        transmitEvent->set();
    table.wake().notify();
}

void TransmitShared::requestStop() {
    transmitStopped.store(1);
    table.wake().notify();
}

void TransmitThread() {
    runTransmitThread(transmitShared(), driverTransmitIo());
}

void runTransmitThread(TransmitShared& shared, TransmitIo& io) {
    uint32_t runStart = 0;
    uint32_t runsStarted = 0; // a Start made before the thread ran still counts
    for (;;) {
        // Read before the flags and the rows, so that a Start, Stop or change
        // made from here on ends the sleep after the pass at once.
        const uint64_t seen = shared.table.wake().changes();
        if (shared.transmitStopped.load()) {
            shared.threadIdle.store(true);
            shared.transmitEvent->wait();
            shared.threadIdle.store(false);
            continue; // a Stop that came in meanwhile sends it back to waiting
        }
        const uint32_t requested = shared.startRequests.load();
        if (requested != runsStarted) {
            runsStarted = requested;
            runStart = io.now();
            shared.table.startRun(io);
            continue;
        }
        const std::optional<uint32_t> due = shared.table.servePass(runStart, io);
        io.sleepUntil(due, shared.table.wake(), seen);
    }
}

} // namespace transmit
