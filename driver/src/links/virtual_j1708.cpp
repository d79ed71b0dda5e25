#include "links/virtual_j1708.h"

#include <rp1210a/rp1210a.h>

namespace zt {
namespace {

class VirtualJ1708Link final : public J1708Link {
public:
    explicit VirtualJ1708Link(std::shared_ptr<VirtualJ1708Bus> bus) : bus_(std::move(bus)) {}
    ~VirtualJ1708Link() override { close(); }

    LinkError open(MessageHandler onMessage) override {
        if (node_ < 0)
            node_ = bus_->bus().attach(std::move(onMessage));
        return {};
    }
    void close() override {
        if (node_ >= 0)
            bus_->bus().detach(node_);
        node_ = -1;
    }
    int send(std::span<const uint8_t> message, int /*priority: the line is never busy*/) override {
        if (node_ < 0)
            return ERR_HARDWARE_NOT_RESPONDING;
        J1708Message m;
        m.bytes.assign(message.begin(), message.end());
        return bus_->bus().send(node_, std::move(m)) ? 0 : ERR_TX_QUEUE_FULL;
    }
    std::string name() const override { return "virtual:" + bus_->name(); }

private:
    const std::shared_ptr<VirtualJ1708Bus> bus_;
    int node_ = -1;
};

} // namespace

VirtualJ1708Bus::VirtualJ1708Bus(std::string name, Clock& clock) : name_(std::move(name)), bus_(clock) {}

std::unique_ptr<J1708Link> VirtualJ1708Bus::attach() {
    return std::make_unique<VirtualJ1708Link>(shared_from_this());
}

} // namespace zt
