// A CAN link on a serial-line CAN adapter (Lawicel ASCII protocol over a
// tty): the open sequence sets the bit rate and opens the channel, a reader
// thread parses frames and status answers, and a regular status poll keeps
// the bus state current.
#pragma once

#include "links/link.h"
#include "links/posix_io.h"
#include "links/slcan_protocol.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace zt {

struct SlcanOptions {
    int bitrate = 250000;
    // USB CDC adapters ignore the tty's rate; real UARTs need the right one.
    int baud = 115200;
    Micros answerTimeout = 500 * kMicrosPerMs;
    Micros statusPollInterval = 1000 * kMicrosPerMs;
    Micros sendTimeout = 100 * kMicrosPerMs;
};

class SlcanLink final : public CanLink {
public:
    SlcanLink(std::string devicePath, SlcanOptions options);

    ~SlcanLink() override;

    LinkError open(FrameHandler onFrame, StateHandler onState) override;
    void close() override;
    int send(const CanFrame& frame) override;
    BusState busState() const override { return state_.load(); }
    std::string name() const override { return "slcan:" + path_; }

    uint64_t garbageLines() const { return garbage_.load(); }
    uint64_t remoteFrames() const { return remote_.load(); }
    uint64_t refusedCommands() const { return refused_.load(); }

private:
    // Sends a command during open and waits for its "\r" or "\a".
    LinkError command(const std::string& text, const std::string& refusal);
    bool writeLine(const std::string& text);
    void readLoop();
    void handle(const slcan::Event& event);
    void markGone();
    void updateCounters();

    const std::string path_;
    const SlcanOptions options_;
    UniqueFd fd_;
    WakeEvent wake_;
    std::thread reader_;
    std::mutex writeMutex_; // one line at a time on the tty
    slcan::LineParser parser_;
    FrameHandler onFrame_;
    StateHandler onState_;
    std::atomic<BusState> state_{BusState::ErrorActive};
    std::atomic<bool> open_{false};
    std::atomic<bool> gone_{false};
    std::atomic<uint64_t> garbage_{0};
    std::atomic<uint64_t> remote_{0};
    std::atomic<uint64_t> refused_{0};
};

} // namespace zt
