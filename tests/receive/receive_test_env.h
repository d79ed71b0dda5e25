#pragma once
// What the receive tests share: the test driver bound into the program's
// binding, the three receive threads started once per test process with
// events of the test's own, and ways to pause them between cases.

#include "connect/driver_binding.h"
#include "receive/receive_threads.h"
#include "support/test_driver_control.h"

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace rxtest {

// Client ids the tests give the three protocols.
inline constexpr int16_t kJ1708Client = 1;
inline constexpr int16_t kJ1850Client = 2;
inline constexpr int16_t kJ1939Client = 3;

int16_t clientOf(connect::Protocol protocol);

// Binds the test driver, connects all three protocols with the ids above and
// starts the threads (the first time). Returns the driver's control.
const testsupport::TestDriverControl& setUp();

// Sets the stop flag and waits until every thread waits for its event; a
// thread inside a blocking read is released by an empty read. Then the
// driver and the shared text start afresh. Returns false on a time-out.
bool pauseAndReset();

// Clears the stop flag and wakes the given threads, as Start does.
void wake(std::initializer_list<connect::Protocol> protocols);

// A receive buffer: 4-byte timestamp, most significant first, then rest.
std::vector<uint8_t> message(uint32_t timestamp, std::vector<uint8_t> rest);

// Waits for a condition without handling any event of this thread, so a
// queued refresh stays queued. False after ten seconds.
template <typename Condition> bool waitWithoutEvents(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace rxtest
