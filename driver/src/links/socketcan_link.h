// A CAN link on a Linux SocketCAN interface: a raw CAN socket with extended
// frames, kernel receive timestamps, bounded transmit retries and the bus
// state taken from the controller's error frames.
#pragma once

#include "links/link.h"
#include "links/posix_io.h"

#include <atomic>
#include <cstdint>
#include <linux/can.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <thread>

namespace zt {

struct SocketCanOptions {
    // How long a send waits for room in a full transmit queue.
    Micros sendTimeout = 100 * kMicrosPerMs;
    // Named in the "is down" hint; the interface's own rate is set by ip link.
    int bitrate = 250000;
};

class SocketCanLink final : public CanLink {
public:
    // Opens a raw CAN socket on the interface (can0, vcan0) at open().
    explicit SocketCanLink(std::string interfaceName, SocketCanOptions options = {});
    // Runs on a descriptor that already carries struct can_frame records, e.g.
    // one end of a SOCK_SEQPACKET socketpair. Takes ownership of fd. Socket
    // options a CAN socket would take are tried and their failure ignored;
    // frames then carry the host time of receipt.
    static std::unique_ptr<SocketCanLink> onDescriptor(int fd, std::string name,
                                                       SocketCanOptions options = {});

    ~SocketCanLink() override;

    LinkError open(FrameHandler onFrame, StateHandler onState) override;
    void close() override;
    int send(const CanFrame& frame) override;
    BusState busState() const override { return state_.load(); }
    std::string name() const override { return "socketcan:" + interface_; }

    // Frames that were not data frames of 8 bytes or less (remote, malformed).
    uint64_t skippedFrames() const { return skipped_.load(); }
    // Whether receive timestamps come from the kernel (else host time).
    bool kernelTimestamps() const { return kernelTimestamps_; }

private:
    LinkError openSocket();
    void configureSocket();
    void readLoop();
    bool receiveBatch();
    void handleRecord(const can_frame& in, size_t length, msghdr& message, Micros steadyNow, Micros realNow);
    void handleErrorFrame(uint32_t canId, const uint8_t* data);
    void setState(BusState state, const LinkError& error);

    const std::string interface_;
    const SocketCanOptions options_;
    UniqueFd fd_;
    bool ownsInterface_ = true; // false on a handed-in descriptor
    bool kernelTimestamps_ = false;
    WakeEvent wake_;
    std::thread reader_;
    std::mutex sendMutex_; // keeps close() from closing fd_ under a send
    FrameHandler onFrame_;
    StateHandler onState_;
    std::atomic<BusState> state_{BusState::ErrorActive};
    std::atomic<bool> gone_{false};
    std::atomic<bool> open_{false};
    std::atomic<uint64_t> skipped_{0};
};

} // namespace zt
