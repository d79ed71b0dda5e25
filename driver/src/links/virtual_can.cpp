#include "links/virtual_can.h"

#include <rp1210a/rp1210a.h>

namespace zt {
namespace {

class VirtualCanLink final : public CanLink {
public:
    explicit VirtualCanLink(std::shared_ptr<VirtualCanBus> bus) : bus_(std::move(bus)) {}
    ~VirtualCanLink() override { close(); }

    LinkError open(FrameHandler onFrame, StateHandler /*onState: the bus never fails*/) override {
        if (node_ < 0)
            node_ = bus_->bus().attach(std::move(onFrame), onOwnFrame_);
        return {};
    }
    bool setOwnFrameHandler(FrameHandler onOwnFrame) override {
        if (!bus_->paced())
            return false; // unpaced, the node loops its frames back at once
        onOwnFrame_ = std::move(onOwnFrame);
        return true;
    }
    void close() override {
        if (node_ >= 0)
            bus_->bus().detach(node_);
        node_ = -1;
    }
    int send(const CanFrame& frame) override {
        if (node_ < 0)
            return ERR_HARDWARE_NOT_RESPONDING;
        return bus_->bus().send(node_, frame) ? 0 : ERR_TX_QUEUE_FULL;
    }
    BusState busState() const override { return BusState::ErrorActive; }
    std::string name() const override { return "virtual:" + bus_->name(); }

private:
    const std::shared_ptr<VirtualCanBus> bus_;
    FrameHandler onOwnFrame_;
    int node_ = -1;
};

} // namespace

int canFrameBits(const CanFrame& frame) {
    return (frame.extended ? 67 : 47) + 8 * frame.length;
}

Micros canWireTime(const CanFrame& frame, int64_t bitrate) {
    // Rounded up to whole microseconds.
    return (int64_t{canFrameBits(frame)} * 1000000 + bitrate - 1) / bitrate;
}

VirtualCanBus::VirtualCanBus(std::string name, Clock& clock, int64_t bitrate, bool runThread)
    : name_(std::move(name)), paced_(bitrate > 0),
      bus_(clock,
           bitrate > 0 ? VirtualBus<CanFrame>::WireTime(
                             [bitrate](const CanFrame& f) { return canWireTime(f, bitrate); })
                       : VirtualBus<CanFrame>::WireTime{},
           runThread) {}

std::unique_ptr<CanLink> VirtualCanBus::attach() {
    return std::make_unique<VirtualCanLink>(shared_from_this());
}

} // namespace zt
