#include "links/socketcan_link.h"

#include <rp1210a/rp1210a.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/can.h>
#include <linux/can/error.h>
#include <linux/can/raw.h>
#include <linux/errqueue.h>
#include <linux/net_tstamp.h>
#include <net/if.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zt {
namespace {

constexpr Micros kMicrosPerSecond = 1000000;
// A hardware stamp further from the host's time than this is on a clock of
// its own (a free-running controller counter) and is not used.
constexpr Micros kPlausibleStampAge = 10 * kMicrosPerSecond;

Micros realtimeMicros(const timespec& ts) {
    return static_cast<Micros>(ts.tv_sec) * kMicrosPerSecond + ts.tv_nsec / 1000;
}

Micros realtimeNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return realtimeMicros(now);
}

// Maps a CLOCK_REALTIME stamp onto the driver's steady time base by its age,
// so a wall-clock step between the two readings costs nothing.
Micros toDriverTime(Micros realtimeStamp, Micros realtimeAtReceipt, Micros steadyAtReceipt) {
    const Micros age = std::clamp<Micros>(realtimeAtReceipt - realtimeStamp, 0, kPlausibleStampAge);
    return steadyAtReceipt - age;
}

bool plausible(const timespec& ts, Micros realtimeAtReceipt) {
    if (ts.tv_sec == 0 && ts.tv_nsec == 0)
        return false;
    const Micros age = realtimeAtReceipt - realtimeMicros(ts);
    return age >= 0 && age <= kPlausibleStampAge;
}

} // namespace

SocketCanLink::SocketCanLink(std::string interfaceName, SocketCanOptions options)
    : interface_(std::move(interfaceName)), options_(options) {}

std::unique_ptr<SocketCanLink> SocketCanLink::onDescriptor(int fd, std::string name,
                                                           SocketCanOptions options) {
    auto link = std::make_unique<SocketCanLink>(std::move(name), options);
    link->fd_.reset(fd);
    link->ownsInterface_ = false;
    return link;
}

SocketCanLink::~SocketCanLink() {
    close();
}

LinkError SocketCanLink::openSocket() {
    if (::if_nametoindex(interface_.c_str()) == 0)
        return {ERR_HARDWARE_NOT_RESPONDING, interface_ + " does not exist"};
    UniqueFd fd(::socket(PF_CAN, SOCK_RAW | SOCK_CLOEXEC, CAN_RAW));
    if (!fd.valid()) {
        const int err = errno;
        if (err == EACCES || err == EPERM)
            return {ERR_CONNECT_NOT_ALLOWED, "permission denied opening a CAN socket on " + interface_};
        return {ERR_HARDWARE_NOT_RESPONDING, "cannot open a CAN socket for " + interface_ +
                                                 " (is the can_raw module loaded?): " + std::strerror(err)};
    }
    ifreq request{};
    std::strncpy(request.ifr_name, interface_.c_str(), IFNAMSIZ - 1);
    if (::ioctl(fd.get(), SIOCGIFFLAGS, &request) != 0)
        return {ERR_HARDWARE_NOT_RESPONDING, interface_ + " does not exist"};
    if (!(request.ifr_flags & IFF_UP))
        return {ERR_HARDWARE_NOT_RESPONDING, interface_ + " is down: bring it up with ip link set " +
                                                 interface_ + " up type can bitrate " +
                                                 std::to_string(options_.bitrate)};
    if (::ioctl(fd.get(), SIOCGIFINDEX, &request) != 0)
        return {ERR_HARDWARE_NOT_RESPONDING, interface_ + " does not exist"};
    sockaddr_can address{};
    address.can_family = AF_CAN;
    address.can_ifindex = request.ifr_ifindex;
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int err = errno;
        if (err == EACCES || err == EPERM)
            return {ERR_CONNECT_NOT_ALLOWED, "permission denied on " + interface_};
        return {ERR_HARDWARE_NOT_RESPONDING, "cannot bind to " + interface_ + ": " + std::strerror(err)};
    }
    fd_ = std::move(fd);
    return {};
}

void SocketCanLink::configureSocket() {
    // Our own frames do not come back to this socket: the driver's echo rule
    // decides who of its clients sees them. The kernel's local loopback stays
    // on, so other programs on the host (candump) see our frames as the bus
    // does; without it a vcan interface would carry them to nobody. On a
    // socketpair this option fails, which is fine.
    const int off = 0;
    ::setsockopt(fd_.get(), SOL_CAN_RAW, CAN_RAW_RECV_OWN_MSGS, &off, sizeof off);
    const can_err_mask_t errors = CAN_ERR_CRTL | CAN_ERR_BUSOFF | CAN_ERR_RESTARTED | CAN_ERR_TX_TIMEOUT;
    ::setsockopt(fd_.get(), SOL_CAN_RAW, CAN_RAW_ERR_FILTER, &errors, sizeof errors);
    const int stamping = SOF_TIMESTAMPING_RX_HARDWARE | SOF_TIMESTAMPING_RAW_HARDWARE |
                         SOF_TIMESTAMPING_RX_SOFTWARE | SOF_TIMESTAMPING_SOFTWARE;
    kernelTimestamps_ = ownsInterface_ &&
                        ::setsockopt(fd_.get(), SOL_SOCKET, SO_TIMESTAMPING, &stamping, sizeof stamping) == 0;
    const int flags = ::fcntl(fd_.get(), F_GETFL);
    if (flags >= 0)
        ::fcntl(fd_.get(), F_SETFL, flags | O_NONBLOCK);
}

LinkError SocketCanLink::open(FrameHandler onFrame, StateHandler onState) {
    if (open_.load())
        return {};
    if (ownsInterface_) {
        if (LinkError error = openSocket())
            return error;
    } else if (!fd_.valid()) {
        return {ERR_HARDWARE_NOT_RESPONDING, interface_ + " does not exist"};
    }
    if (!wake_.create())
        return {ERR_NOT_ENOUGH_MEMORY, "cannot create an event for " + interface_};
    configureSocket();
    onFrame_ = std::move(onFrame);
    onState_ = std::move(onState);
    state_ = BusState::ErrorActive;
    gone_ = false;
    open_ = true;
    reader_ = std::thread([this] { readLoop(); });
    return {};
}

void SocketCanLink::close() {
    if (!open_.exchange(false))
        return;
    wake_.signal();
    if (reader_.joinable())
        reader_.join();
    onFrame_ = nullptr;
    onState_ = nullptr;
    std::lock_guard lock(sendMutex_);
    fd_.reset();
}

int SocketCanLink::send(const CanFrame& frame) {
    std::lock_guard lock(sendMutex_);
    if (!open_.load() || gone_.load())
        return ERR_HARDWARE_NOT_RESPONDING;
    if (state_.load() == BusState::BusOff)
        return ERR_BUS_OFF;
    if (frame.length > 8)
        return ERR_MESSAGE_TOO_LONG;
    can_frame out{};
    out.can_id = frame.extended ? ((frame.id & CAN_EFF_MASK) | CAN_EFF_FLAG) : (frame.id & CAN_SFF_MASK);
    out.can_dlc = frame.length;
    std::memcpy(out.data, frame.data.data(), frame.length);
    const Micros deadline = systemClock().now() + options_.sendTimeout;
    switch (writeAll(fd_.get(), reinterpret_cast<const uint8_t*>(&out), sizeof out, deadline)) {
    case WriteResult::Done:
        return 0;
    case WriteResult::TimedOut:
        return ERR_TX_QUEUE_FULL;
    case WriteResult::Gone:
        break;
    }
    return errno == ENETDOWN ? ERR_BUS_OFF : ERR_HARDWARE_NOT_RESPONDING;
}

void SocketCanLink::setState(BusState state, const LinkError& error) {
    const BusState previous = state_.exchange(state);
    if ((previous != state || error) && onState_)
        onState_(state, error);
}

void SocketCanLink::handleErrorFrame(uint32_t canId, const uint8_t* data) {
    if (canId & CAN_ERR_BUSOFF) {
        setState(BusState::BusOff, {});
        return;
    }
    if (canId & CAN_ERR_RESTARTED) {
        setState(BusState::ErrorActive, {});
        return;
    }
    if (!(canId & CAN_ERR_CRTL))
        return;
    const uint8_t controller = data[1];
    if (controller & (CAN_ERR_CRTL_RX_PASSIVE | CAN_ERR_CRTL_TX_PASSIVE))
        setState(BusState::ErrorPassive, {});
    else if (controller & (CAN_ERR_CRTL_RX_WARNING | CAN_ERR_CRTL_TX_WARNING))
        setState(BusState::ErrorWarning, {});
    else if (controller & CAN_ERR_CRTL_ACTIVE)
        setState(BusState::ErrorActive, {});
}

// Receives up to a batch of records in one call. Returns false when nothing
// more can be read now (or ever: gone_ is set).
bool SocketCanLink::receiveBatch() {
    constexpr unsigned kBatch = 32;
    constexpr size_t kControl = CMSG_SPACE(sizeof(scm_timestamping)) + 64;
    can_frame in[kBatch];
    iovec io[kBatch];
    alignas(cmsghdr) char control[kBatch][kControl];
    mmsghdr messages[kBatch];
    for (unsigned i = 0; i < kBatch; ++i) {
        io[i] = {&in[i], sizeof in[i]};
        messages[i] = {};
        messages[i].msg_hdr.msg_iov = &io[i];
        messages[i].msg_hdr.msg_iovlen = 1;
        messages[i].msg_hdr.msg_control = control[i];
        messages[i].msg_hdr.msg_controllen = kControl;
    }
    const int count = ::recvmmsg(fd_.get(), messages, kBatch, MSG_DONTWAIT, nullptr);
    if (count < 0) {
        const int err = errno;
        if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR)
            return false;
        if (err == ENETDOWN) {
            setState(BusState::BusOff, {ERR_BUS_OFF, interface_ + " went down"});
            return false;
        }
        gone_ = true;
        setState(BusState::BusOff,
                 {ERR_HARDWARE_NOT_RESPONDING, interface_ + " is gone: " + std::strerror(err)});
        return false;
    }
    const Micros steadyNow = systemClock().now();
    const Micros realNow = kernelTimestamps_ ? realtimeNow() : 0;
    for (int i = 0; i < count; ++i) {
        if (messages[i].msg_len == 0) { // the peer of a socketpair closed
            gone_ = true;
            setState(BusState::BusOff, {ERR_HARDWARE_NOT_RESPONDING, interface_ + " is gone"});
            return false;
        }
        handleRecord(in[i], messages[i].msg_len, messages[i].msg_hdr, steadyNow, realNow);
    }
    return count == static_cast<int>(kBatch);
}

void SocketCanLink::handleRecord(const can_frame& in, size_t length, msghdr& message, Micros steadyNow,
                                 Micros realNow) {
    if (length != sizeof in || (message.msg_flags & MSG_TRUNC) || (in.can_id & CAN_RTR_FLAG) ||
        in.can_dlc > CAN_MAX_DLEN) {
        ++skipped_;
        return;
    }
    if (in.can_id & CAN_ERR_FLAG) {
        handleErrorFrame(in.can_id, in.data);
        return;
    }
    CanFrame frame;
    frame.extended = (in.can_id & CAN_EFF_FLAG) != 0;
    frame.id = frame.extended ? (in.can_id & CAN_EFF_MASK) : (in.can_id & CAN_SFF_MASK);
    frame.length = in.can_dlc;
    std::memcpy(frame.data.data(), in.data, in.can_dlc);
    frame.timestamp = steadyNow;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPING)
            continue;
        scm_timestamping stamps{};
        std::memcpy(&stamps, CMSG_DATA(c), sizeof stamps);
        // ts[2] is the raw hardware stamp, ts[0] the kernel's software stamp.
        const timespec& best = plausible(stamps.ts[2], realNow) ? stamps.ts[2] : stamps.ts[0];
        if (plausible(best, realNow))
            frame.timestamp = toDriverTime(realtimeMicros(best), realNow, steadyNow);
    }
    if (onFrame_)
        onFrame_(frame);
}

void SocketCanLink::readLoop() {
    while (open_.load() && !gone_.load()) {
        pollfd fds[2] = {{fd_.get(), POLLIN, 0}, {wake_.fd(), POLLIN, 0}};
        const int r = ::poll(fds, 2, -1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || (fds[1].revents & POLLIN))
            return;
        if (fds[0].revents & POLLNVAL)
            return;
        while (open_.load() && receiveBatch()) {
        }
    }
}

} // namespace zt
