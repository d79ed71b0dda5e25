#include "links/posix_io.h"

#include <rp1210a/rp1210a.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace zt {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other)
        reset(other.release());
    return *this;
}

int UniqueFd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::reset(int fd) {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

bool WakeEvent::create() {
    fd_.reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    return fd_.valid();
}

void WakeEvent::signal() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(fd_.get(), &one, sizeof one);
}

int pollTimeoutMs(Micros deadline) {
    const Micros left = deadline - systemClock().now();
    if (left <= 0)
        return 0;
    return static_cast<int>((left + kMicrosPerMs - 1) / kMicrosPerMs);
}

bool isDeviceGone(int err) {
    return err == EIO || err == ENXIO || err == ENODEV || err == EPIPE || err == ECONNRESET || err == EBADF;
}

WriteResult writeAll(int fd, const uint8_t* data, size_t size, Micros deadline) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::send(fd, data + done, size - done, MSG_DONTWAIT | MSG_NOSIGNAL);
        // send() works on sockets only; a tty takes write().
        const ssize_t written = (n < 0 && errno == ENOTSOCK) ? ::write(fd, data + done, size - done) : n;
        if (written > 0) {
            done += static_cast<size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS)
            return WriteResult::Gone;
        const bool noBuffers = written < 0 && errno == ENOBUFS;
        const int timeout = pollTimeoutMs(deadline);
        if (timeout == 0)
            return WriteResult::TimedOut;
        // A CAN socket out of buffers reports POLLOUT at once; wait a little
        // instead of spinning on it.
        pollfd p{fd, POLLOUT, 0};
        const int r = noBuffers ? ::poll(nullptr, 0, timeout < 1 ? timeout : 1) : ::poll(&p, 1, timeout);
        if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLOUT))
            return WriteResult::Gone;
    }
    return WriteResult::Done;
}

namespace {

speed_t speedFor(int baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 921600:
        return B921600;
    case 1000000:
        return B1000000;
    case 2000000:
        return B2000000;
    case 3000000:
        return B3000000;
    default:
        return 0;
    }
}

} // namespace

UniqueFd openSerialPort(const std::string& path, int baud, LinkError& error) {
    const speed_t speed = speedFor(baud);
    if (speed == 0) {
        error = {ERR_INVALID_DEVICE, "baud rate " + std::to_string(baud) + " is not supported"};
        return {};
    }
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        const int err = errno;
        if (err == ENOENT)
            error = {ERR_HARDWARE_NOT_RESPONDING, path + " does not exist"};
        else if (err == EACCES || err == EPERM)
            error = {ERR_CONNECT_NOT_ALLOWED,
                     "permission denied on " + path + ": add yourself to the dialout group"};
        else if (err == EBUSY)
            error = {ERR_DEVICE_IN_USE, path + " is in use by another program"};
        else
            error = {ERR_HARDWARE_NOT_RESPONDING, path + ": " + std::strerror(err)};
        return {};
    }
    termios tio{};
    if (::tcgetattr(fd.get(), &tio) != 0) {
        error = {ERR_HARDWARE_NOT_RESPONDING, path + " is not a serial port"};
        return {};
    }
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd.get(), TCSANOW, &tio) != 0) {
        error = {ERR_HARDWARE_NOT_RESPONDING,
                 path + ": cannot set the line to " + std::to_string(baud) + " 8N1"};
        return {};
    }
    ::tcflush(fd.get(), TCIOFLUSH);
    return fd;
}

} // namespace zt
