// A CAN link that records the bus of the link it wraps: every frame received
// and every frame sent goes to a candump log, a new file at every open().
// Senders and the receive path only queue the frame; a writer thread of the
// recorder's own formats and writes the queue at least every 200 ms. When the
// queue is full the frame is dropped from the recording (counted), never from
// the bus, and nobody waits.
#pragma once

#include "links/link.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zt {

// The bounded queue between the bus and the writer thread.
class FrameLogQueue {
public:
    explicit FrameLogQueue(size_t capacity);

    // False, and the frame counted as dropped, when the queue is full.
    bool push(const CanFrame& frame);
    // Waits up to maxWait, or until the queue is half full or stopped, then
    // moves every queued frame into out (cleared first). False once stopped
    // and empty.
    bool take(std::vector<CanFrame>& out, std::chrono::milliseconds maxWait);
    void stop();
    // Empties the queue, clears the drop count and accepts frames again.
    void restart();
    uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }
    size_t capacity() const { return capacity_; }

private:
    const size_t capacity_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<CanFrame> pending_;
    bool stopped_ = false;
    std::atomic<uint64_t> dropped_{0};
};

struct RecordingOptions {
    std::string folder;
    // Files are named <prefix>-YYYY-MM-DD_HHMMSS.log (local time), with -2,
    // -3, ... added when that name is taken.
    std::string filePrefix = "zt";
    // The interface name in every line; the wrapped link's name made into an
    // interface name when empty ("virtual:101" gives "virtual_101").
    std::string interfaceName;
    size_t queueCapacity = 16384;
    Clock* clock = nullptr; // systemClock() when null; frames' timestamps are on its base
};

class RecordingLink final : public CanLink {
public:
    RecordingLink(std::unique_ptr<CanLink> inner, RecordingOptions options);
    ~RecordingLink() override;

    // Refuses a folder it cannot create a file in, with a text naming the
    // folder, before the wrapped link opens.
    LinkError open(FrameHandler onFrame, StateHandler onState) override;
    void close() override;
    int send(const CanFrame& frame) override;
    BusState busState() const override { return inner_->busState(); }
    bool setOwnFrameHandler(FrameHandler onOwnFrame) override {
        return inner_->setOwnFrameHandler(std::move(onOwnFrame));
    }
    std::string name() const override { return inner_->name(); }

    CanLink& inner() { return *inner_; }
    // Frames left out of the recording because the queue was full.
    uint64_t droppedFrames() const { return queue_.dropped(); }
    // Frames lost because the file could not be written (disk full).
    uint64_t unwrittenFrames() const { return unwritten_.load(std::memory_order_relaxed); }
    // The file of the current recording, or of the last one after close().
    std::string filePath() const;

    // "virtual:101" -> "virtual_101": letters, digits, '_', '-' and '.', at most 15.
    static std::string interfaceNameFor(const std::string& linkName);

private:
    void writeQueued(int fd, std::string interface, Micros wallOffset);

    std::unique_ptr<CanLink> inner_;
    const RecordingOptions options_;
    Clock& clock_;
    FrameLogQueue queue_;
    std::thread writer_;
    std::string filePath_;
    int fd_ = -1;
    std::atomic<uint64_t> unwritten_{0};
};

} // namespace zt
