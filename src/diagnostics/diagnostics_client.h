#pragma once
// The Diagnostics window's own J1939 client: opened on the connected device,
// it claims an address in the tool range with our NAME, then a reader thread
// collects the received messages in batches. The window is told by one posted
// event per batch, never one per message, and takes the batch on its own
// thread. Requests go out from the window's thread.

#include "connect/driver_binding.h"
#include "diagnostics/j1939_message.h"

#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class QObject;

namespace diagnostics {

// First parameter of the window message 0x400 the client posts: a batch of
// messages or a change of state is waiting.
inline constexpr quintptr DIAG_CHANGED = 1;

// The tool addresses tried in turn: off-board diagnostic-service tools 1
// and 2.
inline constexpr std::array<uint8_t, 2> kToolAddresses = {0xF9, 0xFA};

class DiagnosticsClient {
public:
    enum class State { Closed, Opening, Ready, Failed };
    struct Status {
        State state = State::Closed;
        std::optional<uint8_t> address; // claimed, once Ready
        QString message;                // what the user is told about the claim
    };
    struct Options {
        int16_t deviceId = 0;
        // An address the program's other J1939 client holds: not tried.
        std::optional<uint8_t> addressInUse;
        uint64_t name = 0;
    };

    explicit DiagnosticsClient(connect::DriverBinding& binding) : binding_(binding) {}
    ~DiagnosticsClient();
    DiagnosticsClient(const DiagnosticsClient&) = delete;
    DiagnosticsClient& operator=(const DiagnosticsClient&) = delete;

    // Starts the reader thread, which connects, claims and then reads;
    // notifications go to target. Closes an earlier client first.
    void open(QObject* target, const Options& options);
    // Disconnects the client, which ends a blocking read, and waits for the
    // reader thread.
    void close();

    Status status() const;
    // The messages received since the last call; re-arms the notification.
    std::vector<J1939Message> takeMessages();
    // Sends a Request for pgn to destination. False when the client is not
    // ready or the driver refused the message.
    bool sendRequest(uint32_t pgn, uint8_t destination);

    // Messages the reader thread has handed over in all (tests, benchmarks).
    uint64_t messagesReceived() const { return received_.load(std::memory_order_acquire); }

private:
    void run(Options options);
    bool connectAndClaim(const Options& options);
    void setStatus(State state, std::optional<uint8_t> address, QString message);
    void notify();

    connect::DriverBinding& binding_;
    std::thread reader_;
    std::atomic<bool> stopping_{false};

    mutable std::mutex lock_; // guards everything below
    QObject* target_ = nullptr;
    int16_t clientId_ = -1; // -1: no client open
    Status status_;
    std::vector<J1939Message> batch_;
    bool notifyPending_ = false;

    std::atomic<uint64_t> received_{0};
};

} // namespace diagnostics
