#include "vehicle/vehicle.h"

#include "clients/messages.h"
#include "j1939/j1939.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace zt {
namespace {

unsigned clampTo(double v, unsigned max) {
    if (v <= 0)
        return 0;
    return std::min(static_cast<unsigned>(std::lround(v)), max);
}
uint8_t lo(unsigned v) {
    return static_cast<uint8_t>(v & 0xFF);
}
uint8_t hi(unsigned v) {
    return static_cast<uint8_t>((v >> 8) & 0xFF);
}

// J1850 header byte: priority 2, no in-frame response, functional, type 0.
constexpr uint8_t kJ1850Header = (2 << 5) | 0x08;
constexpr uint8_t kJ1850Source = 0x10;
constexpr uint8_t kJ1850EngineSpeed = 0x0C;
constexpr uint8_t kJ1850RoadSpeed = 0x0D;
constexpr uint8_t kEngineMid = 128;
constexpr uint8_t kJ1708Priority = 8;

// The truck's J1708 and J1850 messages, on the same 10 ms grid as its J1939
// ones so the thread wakes once per tick.
struct OtherBusMessage {
    bool j1708;
    uint8_t id; // PID or J1850 target
    uint32_t periodMs;
    uint32_t offsetMs;
};
constexpr OtherBusMessage kOtherBuses[] = {
    {true, 190, 100, 10},
    {true, 84, 100, 60},
    {true, 110, 1000, 30},
    {false, kJ1850EngineSpeed, 100, 80},
    {false, kJ1850RoadSpeed, 200, 50},
};

// After losing its address an ECU tries to claim it again now and then, so
// it is back once the node that took it is gone.
constexpr uint32_t kReclaimMs = 2000;

} // namespace

std::vector<uint8_t> engineJ1708(uint8_t pid, uint32_t ms) {
    const TruckState t = truckAt(ms);
    switch (pid) {
    case 190: {
        const unsigned rpm = clampTo(t.engineRpm * 4.0, 0xFFFF); // 0.25 rpm per bit
        return {190, lo(rpm), hi(rpm)};
    }
    case 84:
        return {84, static_cast<uint8_t>(clampTo(t.roadSpeedKmh / 0.805, 255))}; // 0.5 mph per bit
    case 110:
        return {110, static_cast<uint8_t>(clampTo(t.coolantC * 9.0 / 5.0 + 32.0, 255))}; // 1 F per bit
    default:
        return {};
    }
}

std::vector<uint8_t> powertrainJ1850(uint8_t target, uint32_t ms) {
    const TruckState t = truckAt(ms);
    unsigned v = 0;
    if (target == kJ1850EngineSpeed)
        v = clampTo(t.engineRpm * 4.0, 0xFFFF);
    else if (target == kJ1850RoadSpeed)
        v = clampTo(t.roadSpeedKmh * 128.0, 0xFFFF);
    else
        return {};
    return {hi(v), lo(v)};
}

std::unique_ptr<DeviceNodes> makeSimulatedNodes(const DeviceEntry& entry, DeviceNodeLinks links) {
    if (entry.simulation == Simulation::None || !links.attachCan)
        return nullptr;
    if (entry.simulation == Simulation::Truck && !links.attachJ1708)
        return nullptr;
    return std::make_unique<Vehicle>(entry.simulation == Simulation::Truck ? NetworkKind::Truck
                                                                           : NetworkKind::BusyTruck,
                                     std::move(links));
}

Vehicle::Vehicle(NetworkKind kind, DeviceNodeLinks links)
    : kind_(kind), links_(std::move(links)), network_(kind) {
    const Clock& clock = *links_.clock;
    J1939Node::Hooks hooks;
    // Both run under the node's mutex: they only queue and wake the thread.
    hooks.deliver = [this](const j1939::Message& m) {
        if (m.pgn != j1939::pgn::kRequest || m.data.size() < 3 || m.origin != 0)
            return;
        std::lock_guard lock(m_);
        requests_.push_back(m);
        wake_.notify_all();
    };
    hooks.claimChanged = [this](const j1939::ClaimEvent& e) {
        if (e.owner == 1)
            holdsAddress_ = e.state == j1939::ClaimState::Claimed ||
                            (e.state == j1939::ClaimState::Claiming && j1939::usableAtOnce(e.address));
        std::lock_guard lock(m_);
        if (e.owner < claims_.size())
            claims_[e.owner] = e.state;
    };
    node_ = std::make_unique<J1939Node>(links_.attachCan(), clock, std::move(hooks));
    if (kind_ == NetworkKind::Truck) {
        j1708_ = links_.attachJ1708();
        j1708_->open([](const J1708Message&) {}); // the module listens to nobody
    }
    node_->open();
    // Each ECU with a NAME claims its address as an owner of the node's engine.
    j1939::Token owner = 0;
    for (const SimulatedEcu& ecu : network_.ecus()) {
        if (ecu.identity().name == 0)
            continue;
        owners_[ecu.identity().address] = ++owner;
        const auto state = node_->run([&](j1939::Engine& e, auto&) {
            return e.claim(owner, ecu.identity().address, ecu.identity().name);
        });
        std::lock_guard lock(m_);
        claims_[owner] = state;
        if (owner == 1)
            holdsAddress_ = state == j1939::ClaimState::Claimed || state == j1939::ClaimState::Claiming;
    }
    thread_ = std::thread([this] { run(); });
}

Vehicle::~Vehicle() {
    {
        std::lock_guard lock(m_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    node_.reset();
    if (j1708_)
        j1708_->close();
}

void Vehicle::send(const std::vector<Outgoing>& messages) {
    if (messages.empty())
        return;
    node_->run([&](j1939::Engine& e, auto&) {
        for (const Outgoing& o : messages) {
            const j1939::Token owner = owners_[o.source];
            if (owner != 0 && !e.addressUsable(owner))
                continue; // the ECU lost its address and stays silent
            j1939::OutgoingMessage m;
            m.pgn = o.pgn;
            m.priority = o.priority;
            m.source = o.source;
            m.destination = o.destination;
            m.peerToPeer = o.destination != j1939::kGlobalAddress;
            m.data = o.data;
            m.owner = owner;
            e.send(m);
        }
    });
}

void Vehicle::claimLost() {
    std::array<j1939::ClaimState, 8> claims;
    {
        std::lock_guard lock(m_);
        claims = claims_;
    }
    for (const SimulatedEcu& ecu : network_.ecus()) {
        const j1939::Token owner = owners_[ecu.identity().address];
        if (owner == 0 ||
            (claims[owner] != j1939::ClaimState::Lost && claims[owner] != j1939::ClaimState::Failed))
            continue;
        node_->run(
            [&](j1939::Engine& e, auto&) { e.claim(owner, ecu.identity().address, ecu.identity().name); });
    }
}

void Vehicle::runOtherBuses(uint32_t ms) {
    for (const OtherBusMessage& m : kOtherBuses) {
        if (ms < m.offsetMs || (ms - m.offsetMs) % m.periodMs != 0)
            continue;
        if (m.j1708) {
            std::vector<uint8_t> wire{kEngineMid};
            const auto rest = engineJ1708(m.id, ms);
            wire.insert(wire.end(), rest.begin(), rest.end());
            wire.push_back(j1708Checksum(wire));
            j1708_->send(wire, kJ1708Priority);
        } else {
            links_.j1850(kJ1850Header, m.id, kJ1850Source, powertrainJ1850(m.id, ms));
        }
    }
}

void Vehicle::run() {
    const Clock& clock = *links_.clock;
    const Micros start = clock.now();
    constexpr Micros kTickMicros = Micros{kTickMs} * kMicrosPerMs;
    uint64_t tick = 0;
    std::unique_lock lock(m_);
    while (!stop_) {
        const Micros due = start + static_cast<Micros>(tick) * kTickMicros;
        const Micros wait = due - clock.now();
        if (wait > 0 && requests_.empty())
            wake_.wait_for(lock, std::chrono::microseconds(wait),
                           [this] { return stop_ || !requests_.empty(); });
        if (stop_)
            break;
        std::deque<j1939::Message> requests;
        requests.swap(requests_);
        lock.unlock();
        out_.clear();
        for (const auto& r : requests) {
            const uint32_t wanted = r.data[0] | (uint32_t{r.data[1]} << 8) | (uint32_t{r.data[2]} << 16);
            network_.answer(wanted, r.source, r.destination,
                            static_cast<uint32_t>((clock.now() - start) / kMicrosPerMs), out_);
        }
        const Micros now = clock.now();
        if (now >= due) {
            const uint32_t ms = static_cast<uint32_t>(tick * kTickMs);
            network_.tick(ms, out_);
            if (kind_ == NetworkKind::Truck)
                runOtherBuses(ms);
            if (ms % kReclaimMs == 0 && ms > 0)
                claimLost();
            // After a stall, resume from now rather than sending a burst of
            // stale messages.
            tick = std::max<uint64_t>(tick + 1, static_cast<uint64_t>((now - start) / kTickMicros));
        }
        send(out_);
        lock.lock();
    }
}

} // namespace zt
