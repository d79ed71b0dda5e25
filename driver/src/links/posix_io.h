// Small POSIX helpers the real links share: an owned descriptor, a wake-up
// event for reader threads, bounded writes and serial-port setup.
#pragma once

#include "links/link.h"
#include "support/clock.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace zt {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// An eventfd that a reader thread polls beside its device, so close() can
// wake it without time-outs.
class WakeEvent {
public:
    bool create();
    int fd() const { return fd_.get(); }
    void signal();

private:
    UniqueFd fd_;
};

enum class WriteResult { Done, TimedOut, Gone };

// Writes all bytes to a non-blocking descriptor, waiting for room until the
// deadline (systemClock time). Never drops part of the data silently.
WriteResult writeAll(int fd, const uint8_t* data, size_t size, Micros deadline);

// Opens a tty for a link: raw mode, 8N1, no flow control, non-blocking.
// Errors name the path and what the user can do about it.
UniqueFd openSerialPort(const std::string& path, int baud, LinkError& error);

// Whether an errno from a read or write means the device went away.
bool isDeviceGone(int err);

// Milliseconds until the deadline for poll(), at least 0.
int pollTimeoutMs(Micros deadline);

} // namespace zt
