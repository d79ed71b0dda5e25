// A CAN link that plays a candump log onto its bus: the recorded frames reach
// the device's clients as frames of other nodes, at the recorded pace, on a
// player thread of the link's own. What clients send is accepted and goes no
// further: there is no other node on a replayed bus to receive it, and the
// layer above delivers a client's frames to the device's other clients itself.
#pragma once

#include "links/link.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace zt {

struct ReplayOptions {
    std::string path;
    bool loop = false;      // start again from the top when the log ends
    double speed = 1.0;     // 2.0 plays twice as fast; 0 plays as fast as possible, unpaced
    Clock* clock = nullptr; // systemClock() when null
    // Hold the first frame until start(): the bus begins when someone listens.
    bool waitForStart = false;
};

class ReplayLink final : public CanLink {
public:
    explicit ReplayLink(ReplayOptions options);
    ~ReplayLink() override;

    // Refuses a missing or unreadable log, one that is not a regular file, or
    // one with no candump line in its first 64 KiB, with a text naming the
    // file. The log's first frame is due at once, or at start() when the
    // link waits for it.
    LinkError open(FrameHandler onFrame, StateHandler onState) override;
    // Lets a link that waits for it begin playing now; later calls do nothing.
    void start();
    void close() override;
    int send(const CanFrame& frame) override;
    BusState busState() const override { return BusState::ErrorActive; }
    std::string name() const override { return "replay:" + options_.path; }

    // Lines that were not a classic CAN data frame (garbage, CAN FD, remote
    // frames), counted on every pass.
    uint32_t skippedLines() const { return skippedLines_.load(std::memory_order_relaxed); }
    uint64_t framesPlayed() const { return framesPlayed_.load(std::memory_order_relaxed); }
    uint64_t framesSent() const { return framesSent_.load(std::memory_order_relaxed); }
    // The log has ended and is not looping.
    bool finished() const { return finished_.load(std::memory_order_acquire); }

    // Makes the player look at the clock again and returns once it has played
    // every frame due by now (or the log has ended). The player sleeps for the
    // real time its clock says is left; a clock that moves by other means (a
    // ManualClock) needs this call after each move. Unpaced, it waits for the
    // end of the log (so never on an unpaced loop).
    void catchUp();

private:
    void play(int fd);
    // Waits for start() or a close, answering catchUp() meanwhile. False on close.
    bool awaitStart();
    // Waits until `due` on the clock, a close, or a catchUp(). False on close.
    bool sleepUntil(Micros due);
    void acknowledgeRequests(uint64_t seen);

    const ReplayOptions options_;
    Clock& clock_;
    FrameHandler onFrame_;
    std::thread player_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable acknowledged_;
    bool stopping_ = false;
    bool running_ = false;
    bool started_ = false;
    uint64_t requests_ = 0;
    uint64_t handled_ = 0;

    std::atomic<uint32_t> skippedLines_{0};
    std::atomic<uint64_t> framesPlayed_{0};
    std::atomic<uint64_t> framesSent_{0};
    std::atomic<bool> finished_{false};
};

} // namespace zt
