#include "links/slcan_link.h"

#include <rp1210a/rp1210a.h>

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace zt {

SlcanLink::SlcanLink(std::string devicePath, SlcanOptions options)
    : path_(std::move(devicePath)), options_(options) {}

SlcanLink::~SlcanLink() {
    close();
}

bool SlcanLink::writeLine(const std::string& text) {
    std::lock_guard lock(writeMutex_);
    if (!fd_.valid())
        return false;
    const Micros deadline = systemClock().now() + options_.sendTimeout;
    const WriteResult result =
        writeAll(fd_.get(), reinterpret_cast<const uint8_t*>(text.data()), text.size(), deadline);
    if (result == WriteResult::Gone)
        gone_ = true;
    return result == WriteResult::Done;
}

LinkError SlcanLink::command(const std::string& text, const std::string& refusal) {
    const LinkError noAnswer{ERR_HARDWARE_NOT_RESPONDING, "no answer from the adapter on " + path_};
    if (!writeLine(text))
        return gone_ ? LinkError{ERR_HARDWARE_NOT_RESPONDING, path_ + " was unplugged"} : noAnswer;
    const Micros deadline = systemClock().now() + options_.answerTimeout;
    std::vector<slcan::Event> events;
    uint8_t buffer[256];
    for (;;) {
        pollfd p{fd_.get(), POLLIN, 0};
        const int timeout = pollTimeoutMs(deadline);
        const int r = ::poll(&p, 1, timeout);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return noAnswer;
        const ssize_t n = ::read(fd_.get(), buffer, sizeof buffer);
        if (n == 0 || (n < 0 && isDeviceGone(errno)))
            return {ERR_HARDWARE_NOT_RESPONDING, path_ + " was unplugged"};
        if (n < 0)
            continue;
        events.clear();
        parser_.feed({buffer, static_cast<size_t>(n)}, events);
        // Frames and acks left over from before the channel was closed are
        // skipped; the first plain answer is the command's.
        for (const slcan::Event& event : events) {
            if (event.kind == slcan::EventKind::Ok)
                return {};
            if (event.kind == slcan::EventKind::Error)
                return refusal.empty() ? LinkError{} : LinkError{ERR_HARDWARE_NOT_RESPONDING, refusal};
        }
    }
}

LinkError SlcanLink::open(FrameHandler onFrame, StateHandler onState) {
    if (open_.load())
        return {};
    const std::optional<std::string> bitrate = slcan::bitrateCommand(options_.bitrate);
    if (!bitrate)
        return {ERR_INVALID_DEVICE, "bit rate " + std::to_string(options_.bitrate) +
                                        " is not offered by serial-line CAN adapters (10000 to 1000000)"};
    LinkError error;
    fd_ = openSerialPort(path_, options_.baud, error);
    if (error)
        return error;
    gone_ = false;
    parser_ = {};
    // A channel left open by an earlier program is closed first; the adapter
    // refuses "C" on a closed channel, which is fine.
    if (!error)
        error = command("C\r", "");
    if (!error)
        error = command(*bitrate, "the adapter on " + path_ + " refused the bit rate " +
                                      std::to_string(options_.bitrate));
    if (!error)
        error = command("O\r", "the adapter on " + path_ + " refused to open the CAN channel");
    if (!error && !wake_.create())
        error = {ERR_NOT_ENOUGH_MEMORY, "cannot create an event for " + path_};
    if (error) {
        fd_.reset();
        return error;
    }
    onFrame_ = std::move(onFrame);
    onState_ = std::move(onState);
    state_ = BusState::ErrorActive;
    open_ = true;
    reader_ = std::thread([this] { readLoop(); });
    return {};
}

void SlcanLink::close() {
    if (!open_.exchange(false))
        return;
    wake_.signal();
    if (reader_.joinable())
        reader_.join();
    if (!gone_.load())
        writeLine("C\r");
    onFrame_ = nullptr;
    onState_ = nullptr;
    std::lock_guard lock(writeMutex_);
    fd_.reset();
}

int SlcanLink::send(const CanFrame& frame) {
    if (!open_.load() || gone_.load())
        return ERR_HARDWARE_NOT_RESPONDING;
    if (state_.load() == BusState::BusOff)
        return ERR_BUS_OFF;
    if (frame.length > 8)
        return ERR_MESSAGE_TOO_LONG;
    if (writeLine(slcan::encodeFrame(frame)))
        return 0;
    return gone_.load() ? ERR_HARDWARE_NOT_RESPONDING : ERR_TX_QUEUE_FULL;
}

void SlcanLink::markGone() {
    gone_ = true;
    state_ = BusState::BusOff;
    if (onState_)
        onState_(BusState::BusOff, {ERR_HARDWARE_NOT_RESPONDING, path_ + " was unplugged"});
}

void SlcanLink::updateCounters() {
    garbage_ = parser_.garbageLines();
    remote_ = parser_.remoteFrames();
}

void SlcanLink::handle(const slcan::Event& event) {
    switch (event.kind) {
    case slcan::EventKind::Frame:
        if (onFrame_) {
            CanFrame frame = event.frame;
            frame.timestamp = systemClock().now();
            onFrame_(frame);
        }
        break;
    case slcan::EventKind::Status: {
        const BusState next = slcan::busStateFromStatusFlags(event.statusFlags);
        if (state_.exchange(next) != next && onState_)
            onState_(next, {});
        break;
    }
    case slcan::EventKind::Error:
        ++refused_;
        break;
    case slcan::EventKind::Ok:
    case slcan::EventKind::TransmitAck:
        break;
    }
}

void SlcanLink::readLoop() {
    std::vector<slcan::Event> events;
    uint8_t buffer[4096];
    Micros nextStatusPoll = systemClock().now() + options_.statusPollInterval;
    while (open_.load()) {
        if (gone_.load()) { // a write found the device gone
            markGone();
            return;
        }
        pollfd fds[2] = {{fd_.get(), POLLIN, 0}, {wake_.fd(), POLLIN, 0}};
        const int r = ::poll(fds, 2, pollTimeoutMs(nextStatusPoll));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || (fds[1].revents & POLLIN))
            return;
        if (r == 0) {
            writeLine("F\r");
            nextStatusPoll = systemClock().now() + options_.statusPollInterval;
            continue;
        }
        const ssize_t n = ::read(fd_.get(), buffer, sizeof buffer);
        if (n == 0 || (n < 0 && isDeviceGone(errno)) || (n < 0 && (fds[0].revents & (POLLHUP | POLLERR)))) {
            markGone();
            return;
        }
        if (n < 0)
            continue;
        events.clear();
        parser_.feed({buffer, static_cast<size_t>(n)}, events);
        for (const slcan::Event& event : events)
            handle(event);
        updateCounters();
    }
}

} // namespace zt
