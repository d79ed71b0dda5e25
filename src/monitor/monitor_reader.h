#pragma once
// The monitor's own driver clients and the thread that reads them into a
// MessageStore. The clients pass every message and claim no address, so the
// Receive window's clients, filters and counts are not touched.

#include "monitor/message_store.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace monitor {

// Microseconds on a steady clock; tests inject their own.
using MicrosecondClock = std::function<int64_t()>;
MicrosecondClock steadyMicroseconds();

class MonitorReader {
public:
    MonitorReader(MessageStore& store, MicrosecondClock clock);
    ~MonitorReader();
    MonitorReader(const MonitorReader&) = delete;
    MonitorReader& operator=(const MonitorReader&) = delete;

    // Opens a J1939 and a J1708 client on deviceId for each protocol set in
    // protocolBits (the connection's bits), then starts reading. A client the
    // driver refuses is left out; problems() says which and why.
    void open(void* window, int16_t deviceId, uint8_t protocolBits);
    // Stops the thread, then closes the clients. Safe to call when closed.
    void close();

    bool isOpen() const { return thread_.joinable(); }
    // Empty when every wanted client opened.
    const QString& problems() const { return problems_; }
    // The J1939 client (for the hardware status), or -1.
    int16_t j1939Client() const { return j1939Client_; }
    // Messages taken from the driver since open.
    uint64_t delivered() const { return delivered_.load(std::memory_order_relaxed); }

private:
    int16_t connectClient(void* window, int16_t deviceId, const char* protocol);
    void run();
    // Reads what is waiting on one client; returns whether anything came.
    bool drain(int16_t client, BusProtocol protocol, uint8_t* buffer, int16_t size);

    MessageStore& store_;
    MicrosecondClock clock_;
    int16_t j1939Client_ = -1;
    int16_t j1708Client_ = -1;
    QString problems_;
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> delivered_{0};
    std::thread thread_;
};

} // namespace monitor
