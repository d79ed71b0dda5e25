#include "receive_test_env.h"

#include "platform/library.h"
#include "platform/thread.h"

#include <QTest>
#include <algorithm>

#include <memory>

namespace rxtest {

using connect::Protocol;

int16_t clientOf(Protocol protocol) {
    switch (protocol) {
    case Protocol::J1708:
        return kJ1708Client;
    case Protocol::J1850:
        return kJ1850Client;
    case Protocol::J1939:
        break;
    }
    return kJ1939Client;
}

const testsupport::TestDriverControl& setUp() {
    static const testsupport::TestDriverControl control;
    static const bool started = [] {
        connect::DriverBinding& binding = connect::driverBinding();
        binding.libraryFileName = std::string(testsupport::kTestDriverName) + ".dll";
        binding.driverLibrary = platform::DynamicLibrary::load(binding.libraryFileName, nullptr);
        binding.resolveEntryPoints();
        receive::ReceiveShared& shared = receive::receiveShared();
        // Never destroyed: destroying a condition variable that threads wait
        // on blocks the exit.
        auto* events = new platform::AutoResetEvent[3];
        shared.j1708ReceiveEvent = &events[0];
        shared.j1850ReceiveEvent = &events[1];
        shared.j1939ReceiveEvent = &events[2];
        for (auto body :
             {receive::J1708ReceiveThread, receive::J1850ReceiveThread, receive::J1939ReceiveThread})
            platform::startThread(body, 0x8000);
        return true;
    }();
    (void)started;
    connect::DriverBinding& binding = connect::driverBinding();
    binding.j1708ClientId = kJ1708Client;
    binding.j1850ClientId = kJ1850Client;
    binding.j1939ClientId = kJ1939Client;
    binding.connectedProtocols = connect::J1708_BIT | connect::J1850_BIT | connect::J1939_BIT;
    return control;
}

bool pauseAndReset() {
    const testsupport::TestDriverControl& driver = setUp();
    receive::ReceiveShared& shared = receive::receiveShared();
    shared.receiveStopped = 1;
    for (Protocol protocol : {Protocol::J1708, Protocol::J1850, Protocol::J1939})
        driver.setReadFlood(clientOf(protocol), {});
    const bool paused = QTest::qWaitFor(
        [&] {
            bool all = true;
            for (Protocol protocol : {Protocol::J1708, Protocol::J1850, Protocol::J1939}) {
                if (shared.isWaiting(protocol))
                    continue;
                all = false;
                if (driver.pendingReads(clientOf(protocol)) == 0)
                    driver.queueReadResult(clientOf(protocol), {}, 0);
            }
            return all;
        },
        10000);
    driver.reset();
    shared.hexMode = 1;
    shared.blockingPoll = 0;
    shared.text.clear();
    return paused;
}

void wake(std::initializer_list<Protocol> protocols) {
    receive::ReceiveShared& shared = receive::receiveShared();
    shared.receiveStopped = 0;
    for (Protocol protocol : protocols)
        shared.receiveEvent(protocol).load()->set();
}

std::vector<uint8_t> message(uint32_t timestamp, std::vector<uint8_t> rest) {
    std::vector<uint8_t> bytes(4 + rest.size());
    // Sized first and filled: gcc 12 warns wrongly about insert() here.
    for (int i = 0; i < 4; ++i)
        bytes[i] = uint8_t(timestamp >> (24 - 8 * i));
    std::copy(rest.begin(), rest.end(), bytes.begin() + 4);
    return bytes;
}

} // namespace rxtest
