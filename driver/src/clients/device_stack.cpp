#include "clients/device_stack.h"

#include "config/device_table.h"

#include <rp1210a/rp1210a.h>

namespace zt {

DeviceStack::~DeviceStack() {
    // The vehicle and the node first, then the J1708 link, whose handler
    // offers to the buses below.
    vehicle.reset();
    j1939.reset();
    if (links.j1708)
        links.j1708->close();
}

namespace {

// Why the device's BAMPacketGap cannot be used, or empty when it can.
std::string bamGapError(const DeviceEntry& entry) {
    constexpr int kMinMs = int(j1939::timeout::kBamGapMin / kMicrosPerMs);
    constexpr int kMaxMs = int(j1939::timeout::kBamGapMax / kMicrosPerMs);
    if (entry.bamPacketGapMs >= kMinMs && entry.bamPacketGapMs <= kMaxMs)
        return {};
    const std::string value =
        entry.bamPacketGapMs < 0 ? "not a number" : std::to_string(entry.bamPacketGapMs);
    return "BAMPacketGap of device " + std::to_string(entry.id) + " is " + value + ": it must be " +
           std::to_string(kMinMs) + " to " + std::to_string(kMaxMs) + " ms";
}

} // namespace

std::shared_ptr<DeviceStack> makeStack(int deviceId, const DeviceEntry& entry,
                                       const DeviceNodesFactory& nodes, LinkError& error) {
    if (std::string why = bamGapError(entry); !why.empty()) {
        error = {ERR_INVALID_DEVICE, std::move(why)};
        return nullptr;
    }
    auto stack = std::make_shared<DeviceStack>();
    DeviceStack* s = stack.get();
    s->links = makeDeviceLinks(deviceId, entry.links, systemClock());
    if (s->links.error) {
        error = s->links.error;
        return nullptr;
    }
    if (LinkError e = s->links.j1708->open([s](const J1708Message& m) {
            if (MessagePtr message = makeJ1708Wire(m.bytes)) {
                std::lock_guard lock(s->j1708.m);
                s->j1708.carry(std::move(message), nullptr);
            }
        })) {
        error = e;
        return nullptr;
    }
    J1939Node::Hooks hooks;
    hooks.deliver = [s](const j1939::Message& m) {
        MessagePtr message = makeJ1939(m.pgn, m.priority, m.source, m.destination, m.data);
        message->stamp(static_cast<uint32_t>(m.timestamp / kMicrosPerMs));
        const SharedMessage shared = std::move(message);
        for (const auto& c : s->j1939Clients)
            c->offer(shared, c->owns(m.origin));
    };
    hooks.sendDone = [s](const j1939::SendCompletion& done) {
        if (auto it = s->awaitedSends.find(done.origin); it != s->awaitedSends.end())
            it->second = done.result;
    };
    hooks.claimChanged = [s](const j1939::ClaimEvent& e) {
        for (const auto& c : s->j1939Clients) {
            if (c->token == e.owner) {
                std::lock_guard lock(c->m);
                c->touch();
            }
        }
    };
    j1939::EngineOptions options;
    options.bamPacketGap = Micros{entry.bamPacketGapMs} * kMicrosPerMs;
    s->j1939 = std::make_unique<J1939Node>(std::move(s->links.can), systemClock(), std::move(hooks),
                                           std::move(options));
    if (LinkError e = s->j1939->open()) {
        error = e;
        return nullptr;
    }
    if (nodes && s->links.attachCan) {
        DeviceNodeLinks links;
        links.clock = &systemClock();
        links.attachCan = s->links.attachCan;
        links.attachJ1708 = s->links.attachJ1708;
        links.j1850 = [s](uint8_t header, uint8_t target, uint8_t source, std::span<const uint8_t> data) {
            MessagePtr m = makeJ1850(header, target, source, data);
            std::lock_guard lock(s->j1850.m);
            s->j1850.carry(std::move(m), nullptr);
        };
        s->vehicle = nodes(entry, std::move(links));
    }
    return stack;
}

} // namespace zt
