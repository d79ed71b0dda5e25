// A J1708 link on an RS-485 serial port at 9600 baud 8N1. Receive framing by
// idle time and checksum (see j1708_framing.h). A send waits for the idle
// line its priority asks for, then reads its own bytes back; a message whose
// echo does not come back intact collided and is sent again, a bounded number
// of times. Echoed bytes are never delivered as received messages.
//
// Many RS-485 adapters switch their receiver off while sending, so the line
// gives nothing back. A send after which nothing at all came back, on a line
// that was idle, shows such a line: the link then sends without collision
// detection (the send succeeds once written) and says so in lineEchoes().
// Should our bytes come back after all, it goes back to checking them.
#pragma once

#include "links/j1708_framing.h"
#include "links/link.h"
#include "links/posix_io.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zt {

struct J1708SerialOptions {
    J1708Echo echo = J1708Echo::Detect;
    int baud = j1708::kBaud;
    int maxAttempts = 3;
    // Beyond the message's wire time: how late a USB adapter may hand
    // back our own bytes.
    Micros echoMargin = 50 * kMicrosPerMs;
    // How long a send waits for a busy line to fall idle.
    Micros busyTimeout = 500 * kMicrosPerMs;
    Clock* clock = &systemClock();
};

class J1708SerialLink final : public J1708Link {
public:
    J1708SerialLink(std::string devicePath, J1708SerialOptions options);
    ~J1708SerialLink() override;

    LinkError open(MessageHandler onMessage) override;
    void close() override;
    int send(std::span<const uint8_t> message, int priority) override;
    std::string name() const override { return "serial:" + path_; }

    uint64_t droppedBytes() const { return dropped_.load(); }
    uint64_t collisions() const { return collisions_.load(); }
    bool lineEchoes() const override { return !noEcho_.load(); }
    bool gone() const { return gone_.load(); }

private:
    void readLoop();
    void deliver(std::vector<j1708::Framer::Message>& messages);
    bool waitForIdleLine(Micros idle);
    int sendWithoutEcho(std::span<const uint8_t> message, int priority);

    const std::string path_;
    const J1708SerialOptions options_;
    Clock& clock_;
    UniqueFd fd_;
    WakeEvent wake_;
    std::thread reader_;
    MessageHandler onMessage_;
    j1708::Framer framer_; // reader thread only
    std::mutex sendMutex_; // one message on the line at a time

    std::mutex echoMutex_;
    std::condition_variable echoArrived_;
    std::vector<uint8_t> expectedEcho_; // guarded by echoMutex_
    bool echoMatched_ = false;          // guarded by echoMutex_
    bool echoFailed_ = false;           // guarded by echoMutex_: the line went idle without it
    size_t echoBytesSeen_ = 0;          // guarded by echoMutex_: bytes read since the write
    Micros lateEchoUntil_ = -1;         // guarded by echoMutex_: swallow a late echo until then

    std::atomic<Micros> lastByte_{-1};
    std::atomic<Micros> ownBytesUntil_{-1}; // our unechoed message is on the line until then
    std::atomic<bool> noEcho_{false};
    std::atomic<bool> open_{false};
    std::atomic<bool> gone_{false};
    std::atomic<uint64_t> dropped_{0};
    std::atomic<uint64_t> collisions_{0};
};

} // namespace zt
