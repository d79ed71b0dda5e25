// Receive framing of a J1708 line without any I/O. A message ends when the
// line has been idle for 10 bit times; because USB serial adapters deliver
// bytes late and in bursts, a burst is also split where the checksum proves a
// message: MID + data + checksum sum to 0 modulo 256.
#pragma once

#include "support/clock.h"

#include <cstdint>
#include <span>
#include <vector>

namespace zt::j1708 {

constexpr int kBaud = 9600;
// One bit time at 9600 baud, in nanoseconds (104.17 us).
constexpr int64_t kBitNanos = 1000000000LL / kBaud;
// A message ends after at least 10 idle bit times.
constexpr Micros kEndOfMessageIdle = (10 * kBitNanos + 999) / 1000;
// MID, at least one data byte, checksum.
constexpr size_t kMinMessage = 3;
// The driver accepts longer messages than the 21 bytes of the standard: up to
// the 501 bytes of its receive buffer's wire part.
constexpr size_t kMaxMessage = 501;

// Idle time a sender waits for before a message of this priority (1..8).
constexpr Micros idleBeforeSend(int priority) {
    return ((10 + 2 * priority) * kBitNanos + 999) / 1000;
}

bool checksumValid(std::span<const uint8_t> message);
uint8_t checksum(std::span<const uint8_t> midAndData);

// Splits a burst into valid messages, covering as many bytes as possible and,
// among equal coverings, preferring more (shorter) messages, since back-to-back
// valid messages also sum to 0 together. Bytes before the first message and
// between messages are dropped (counted in dropped); bytes after the last
// message form the tail, as they may start a message still arriving.
struct Split {
    struct Range {
        size_t begin = 0;
        size_t end = 0;
    };
    std::vector<Range> messages; // in order, within the burst
    size_t dropped = 0;
    size_t tailBegin = 0; // bytes from here on belong to no message yet
};
Split splitBurst(std::span<const uint8_t> burst);

// Collects bytes with their arrival times and hands out messages once the
// line has been idle long enough.
class Framer {
public:
    struct Message {
        std::vector<uint8_t> bytes;
        Micros timestamp = 0; // arrival of the burst's last bytes
    };

    // How long an unfinished tail waits for the rest of its message.
    static constexpr Micros kTailHold = 100 * kMicrosPerMs;
    // Bytes kept without an idle gap before the oldest complete ones are split
    // off anyway (a busy line seen through a slow adapter).
    static constexpr size_t kMaxPending = 4 * kMaxMessage;

    void feed(std::span<const uint8_t> bytes, Micros now, std::vector<Message>& out);
    // Ends the current burst if the line has been idle long enough.
    void poll(Micros now, std::vector<Message>& out);
    // When poll() next has something to do, or -1 when nothing is pending.
    Micros nextDeadline() const;
    Micros lastByteTime() const { return lastByte_; }

    uint64_t droppedBytes() const { return dropped_; }
    // Bursts ended by an idle line so far.
    uint64_t burstsEnded() const { return burstsEnded_; }

private:
    void splitPending(Micros now, std::vector<Message>& out, bool keepRecent);

    std::vector<uint8_t> pending_; // held tail + current burst
    bool burstOpen_ = false;
    Micros lastByte_ = -1;
    uint64_t dropped_ = 0;
    uint64_t burstsEnded_ = 0;
};

} // namespace zt::j1708
