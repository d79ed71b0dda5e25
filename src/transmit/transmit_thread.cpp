#include "transmit/transmit_thread.h"

namespace transmit {

TransmitShared& transmitShared() {
    static TransmitShared* shared = new TransmitShared; // outlives the threads
    return *shared;
}

void TransmitThread() {
    TransmitShared& shared = transmitShared();
    for (;;) {
        while (shared.transmitStopped.load())
            shared.transmitEvent->wait();
        // The sending loop arrives with the transmit window's rows.
        shared.transmitStopped = 1;
    }
}

} // namespace transmit
