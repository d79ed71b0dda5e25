// The simulated vehicle on a device's buses: a network of J1939 ECUs (one
// node with its own J1939 engine, each ECU claiming its own address), and on
// the truck also an engine MID 128 on J1708 and a powertrain module on J1850.
#pragma once

#include "clients/j1939_node.h"
#include "config/device_nodes.h"
#include "vehicle/truck_network.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zt {

// The engine's J1708 and the powertrain's J1850 messages at a moment: the
// bytes after the MID (PID and data), and the J1850 data of target.
std::vector<uint8_t> engineJ1708(uint8_t pid, uint32_t elapsedMs);
std::vector<uint8_t> powertrainJ1850(uint8_t target, uint32_t elapsedMs);

// The factory the driver's entry points hand the client layer: the truck for
// SimulatedVehicle=Yes, the busy truck for Busy, nothing otherwise.
std::unique_ptr<DeviceNodes> makeSimulatedNodes(const DeviceEntry& entry, DeviceNodeLinks links);

// One thread runs the periodic traffic and the answers to Requests from
// construction to destruction, on the device's clock.
class Vehicle final : public DeviceNodes {
public:
    Vehicle(NetworkKind kind, DeviceNodeLinks links);
    ~Vehicle() override;
    Vehicle(const Vehicle&) = delete;
    Vehicle& operator=(const Vehicle&) = delete;

    // The engine ECU holds its J1939 address.
    bool holdsAddress() const override { return holdsAddress_.load(); }

private:
    void run();
    void send(const std::vector<Outgoing>& messages);
    void claimLost(); // claims again what was lost, now and then
    void runOtherBuses(uint32_t elapsedMs);

    const NetworkKind kind_;
    DeviceNodeLinks links_;
    std::unique_ptr<J1708Link> j1708_;
    SimulatedNetwork network_; // the vehicle thread's alone
    std::vector<Outgoing> out_;
    std::array<j1939::Token, 256> owners_{}; // claim owner by source address; 0: unclaimed
    std::atomic<bool> holdsAddress_{false};
    std::mutex m_;
    std::condition_variable wake_;
    bool stop_ = false;                         // guarded by m_
    std::deque<j1939::Message> requests_;       // guarded by m_
    std::array<j1939::ClaimState, 8> claims_{}; // by owner; guarded by m_
    std::unique_ptr<J1939Node> node_;
    std::thread thread_;
};

} // namespace zt
