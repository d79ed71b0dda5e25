// The simulated truck on a device's buses: an engine ECU on J1939 (source
// 0x00), an engine MID 128 on J1708 and a powertrain module on J1850, each
// message on its own period, values moving with time.
#pragma once

#include "clients/j1939_node.h"
#include "clients/messages.h"
#include "links/link.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zt {

constexpr uint8_t kEngineAddress = 0x00;
// Engine NAME: industry group 1 (on-highway), function 0 (engine), identity
// number 0x101, not arbitrary-address capable.
constexpr uint64_t kEngineName = 0x1000000000000101ULL;

constexpr uint32_t kPgnEec1 = 61444; // 0xF004
constexpr uint32_t kPgnCcvs = 65265; // 0xFEF1
constexpr uint32_t kPgnEt1 = 65262;  // 0xFEEE

struct Readings {
    double engineRpm;    // 700 (idle) .. 1800
    double roadSpeedKmh; // 0 .. 88
    double coolantC;     // 20 warming to about 88
};

Readings readingsAt(uint32_t elapsedMs);

// The engine's J1939 message for pgn at a moment, or nullptr when the engine
// does not send that PGN.
MessagePtr engineJ1939(uint32_t pgn, uint8_t source, uint32_t elapsedMs);
MessagePtr engineJ1708(uint8_t pid, uint32_t elapsedMs);
MessagePtr powertrainJ1850(uint8_t target, uint32_t elapsedMs);

constexpr uint32_t kPgnVehicleIdentification = 65260; // VI, 0xFEEC
constexpr uint32_t kPgnDm1 = 65226;                   // active trouble codes, 0xFECA
constexpr char kVin[] = "1ZTTRVK7XPN000101";

// The VIN answer (17 characters and the '*' delimiter) and the DM1 with its
// two active trouble codes; both longer than a frame.
std::vector<uint8_t> vehicleIdentification();
std::vector<uint8_t> activeTroubleCodes();

// The truck as a node on its device's links: its own J1939 engine on the CAN
// link, its J1708 module on the J1708 link, and its J1850 module handing its
// messages to j1850. One thread runs the periodic traffic and the answers to
// requests from construction to destruction.
class Vehicle {
public:
    Vehicle(const Clock& clock, std::unique_ptr<CanLink> can, std::unique_ptr<J1708Link> j1708,
            std::function<void(MessagePtr)> j1850, uint32_t startMs);
    ~Vehicle();
    Vehicle(const Vehicle&) = delete;
    Vehicle& operator=(const Vehicle&) = delete;

    // The engine holds its J1939 address.
    bool holdsAddress() const { return holdsAddress_.load(); }

private:
    void run();
    void answer(const j1939::Message& request);
    void sendJ1939(uint32_t pgn, uint8_t priority, uint8_t destination, std::span<const uint8_t> data);

    const Clock& clock_;
    std::unique_ptr<J1708Link> j1708_;
    std::function<void(MessagePtr)> j1850_;
    const uint32_t startMs_;
    std::atomic<bool> holdsAddress_{false};
    std::mutex m_;
    std::condition_variable wake_;
    bool stop_ = false;                                 // guarded by m_
    std::deque<j1939::Message> requests_;               // guarded by m_
    j1939::ClaimState claim_ = j1939::ClaimState::None; // guarded by m_
    std::unique_ptr<J1939Node> node_;
    std::thread thread_;
};

} // namespace zt
