#pragma once
// The three receive threads and what they share with the receive window: the
// stop flag, one wake-up event per thread, the display base and "Blocking
// Poll" value, the receive text with its counter under the receive-text
// lock, and the refresh notification to the window.

#include "connect/driver_binding.h"
#include "platform/event.h"
#include "receive/rx_text.h"

#include <QtGlobal>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

class QObject;

namespace receive {

// First parameter of the window message 0x400 the threads post.
inline constexpr quintptr RX_REFRESH = 1;

// The receive text and "Messages" counter. Every access holds the
// receive-text lock; a thread holds it only to prepend, trim and count.
class ReceiveText {
public:
    // What a window copied out: the text, the counter and where the text
    // stood, so a later take-back can tell what arrived meanwhile.
    struct Snapshot {
        std::string rxText;
        uint32_t messageCount = 0;
        uint64_t generation = 0;
        uint64_t added = 0;
        uint64_t dropped = 0;
    };

    // A receive thread's steps: prepend, drop the oldest line beyond 101,
    // count.
    void addLine(std::string_view line);
    // Clear Text: empty text, counter 0.
    void clear();
    // Copies text and counter into snapshot unless nothing changed since it
    // was taken; returns whether it copied.
    bool copyIfChanged(Snapshot& snapshot) const;
    // Takes the window's controls back: boxText replaces what snapshot held,
    // the lines that arrived since stay in front, and the counter becomes
    // boxCount plus those lines. Updates snapshot to the result.
    void takeBack(Snapshot& snapshot, std::string_view boxText, uint32_t boxCount);

    // Changes with every change of text or counter; read without the lock.
    uint64_t generation() const { return generation_.load(std::memory_order_acquire); }

    // For tests and benchmarks.
    std::string rxText() const;
    uint32_t messageCount() const;
    uint64_t linesAdded() const;
    // The counter and the lines added since the last Clear Text, read together.
    struct Counters {
        uint32_t messageCount;
        uint64_t linesSinceClear;
    };
    Counters counters() const;

private:
    void changed() { generation_.fetch_add(1, std::memory_order_release); }

    mutable std::mutex receiveTextLock_;
    RxTextBuffer rxText_;
    uint32_t messageCount_ = 0;
    uint64_t added_ = 0;   // lines added since the process started
    uint64_t dropped_ = 0; // oldest lines dropped on adding
    uint64_t addedAtClear_ = 0;
    std::atomic<uint64_t> generation_{1};
};

// One RX_REFRESH notification per message, with a bound on what piles up:
// a message whose notification finds one still queued for the window is
// covered by that one (its handler runs after this message's line is in the
// text) instead of queueing another. So at most one event waits in the
// window's queue whatever the rate.
class RefreshNotifier {
public:
    // The window that gets the notifications; null: none. The UI thread
    // sets it; a post under way finishes before this returns.
    void setTarget(QObject* window);
    // A receive thread, once per message, after its line is in the text.
    void notify();
    // The window, before it reads the text for a refresh: returns how many
    // messages the notification stood for. Until then no further event is
    // posted, so a window that defers its refresh is not woken meanwhile.
    uint64_t consume();

    uint64_t notifications() const { return notifications_.load(std::memory_order_relaxed); }
    uint64_t eventsPosted() const { return eventsPosted_.load(std::memory_order_relaxed); }

private:
    std::mutex targetLock_;
    QObject* target_ = nullptr;
    std::atomic<uint64_t> pending_{0};
    std::atomic<uint64_t> notifications_{0};
    std::atomic<uint64_t> eventsPosted_{0};
};

struct ReceiveShared {
    // Non-zero: the receive threads wait. Written by the receive window only.
    std::atomic<uint8_t> receiveStopped{1};
    // Created by the application before it starts the threads.
    std::atomic<platform::AutoResetEvent*> j1708ReceiveEvent{nullptr};
    std::atomic<platform::AutoResetEvent*> j1850ReceiveEvent{nullptr};
    std::atomic<platform::AutoResetEvent*> j1939ReceiveEvent{nullptr};
    // The receive window's display base (1 hexadecimal, 0 decimal) and
    // "Blocking Poll" box, read by the threads once per message and read.
    std::atomic<uint8_t> hexMode{1};
    std::atomic<int> blockingPoll{0};
    ReceiveText text;
    RefreshNotifier refresh;

    std::atomic<platform::AutoResetEvent*>& receiveEvent(connect::Protocol protocol);
    // True while the protocol's thread is parked on its event with no wake
    // pending (tests, benchmarks): a thread that was signalled but has not
    // run yet does not count, so a later start cannot race its wake-up.
    bool isWaiting(connect::Protocol protocol);
    std::atomic<bool> waiting[3] = {false, false, false};
};

// The process-wide shared state.
ReceiveShared& receiveShared();

// Thread procedures: take nothing, never return. Started at start-up with a
// 0x8000-byte stack after the events are installed in receiveShared().
[[noreturn]] void J1708ReceiveThread();
[[noreturn]] void J1850ReceiveThread();
[[noreturn]] void J1939ReceiveThread();

} // namespace receive
