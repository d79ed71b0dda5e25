// The simulated J1939 networks: the truck of device 101 (engine,
// transmission, brakes, instrument cluster and body controller, each with its
// NAME, its periodic messages and its answers to Requests) and the busy truck
// of device 104 (the same five ECUs and many generated nodes that load the
// bus to about 60 % at 250 kbit/s).
#pragma once

#include "vehicle/simulated_ecu.h"

#include <cstdint>
#include <vector>

namespace zt {

constexpr uint8_t kEngineAddress = 0x00;
constexpr uint8_t kTransmissionAddress = 0x03;
constexpr uint8_t kBrakesAddress = 0x0B;
constexpr uint8_t kClusterAddress = 0x17;
constexpr uint8_t kBodyAddress = 0x21;

// Our own manufacturer code in the simulated ECUs' NAMEs.
constexpr uint16_t kSimulatedManufacturer = 2000;

// A NAME (J1939-81) with industry group 1 (on-highway), vehicle system 0,
// instance 0, not arbitrary-address capable.
constexpr uint64_t simulatedName(uint8_t function, uint32_t identity) {
    return (uint64_t{1} << 60) | (uint64_t{function} << 40) | (uint64_t{kSimulatedManufacturer} << 21) |
           (identity & 0x1FFFFF);
}

constexpr uint64_t kEngineName = simulatedName(0, 0x1A101);       // function 0: engine
constexpr uint64_t kTransmissionName = simulatedName(3, 0x1A103); // 3: transmission
constexpr uint64_t kBrakesName = simulatedName(9, 0x1A10B);       // 9: brakes, system controller
constexpr uint64_t kClusterName = simulatedName(19, 0x1A117);     // 19: instrument cluster
constexpr uint64_t kBodyName = simulatedName(29, 0x1A121);        // 29: body controller

constexpr char kVin[] = "1ZTTRVK7XPN000101";

constexpr uint32_t kPgnEec1 = 61444;  // 0xF004
constexpr uint32_t kPgnEec2 = 61443;  // 0xF003
constexpr uint32_t kPgnCcvs = 65265;  // 0xFEF1
constexpr uint32_t kPgnEt1 = 65262;   // 0xFEEE
constexpr uint32_t kPgnEflp1 = 65263; // 0xFEEF
constexpr uint32_t kPgnLfe = 65266;   // 0xFEF2
constexpr uint32_t kPgnEtc1 = 61442;  // 0xF002
constexpr uint32_t kPgnEtc2 = 61445;  // 0xF005
constexpr uint32_t kPgnTrf1 = 65272;  // 0xFEF8
constexpr uint32_t kPgnEbc1 = 61441;  // 0xF001
constexpr uint32_t kPgnEbc2 = 65215;  // 0xFEBF
constexpr uint32_t kPgnDd = 65276;    // 0xFEFC
constexpr uint32_t kPgnVdhr = 65217;  // 0xFEC1
constexpr uint32_t kPgnLd = 65089;    // 0xFE41
constexpr uint32_t kPgnDc1 = 65102;   // 0xFE4E

enum class NetworkKind { Truck, BusyTruck };

class SimulatedNetwork {
public:
    explicit SimulatedNetwork(NetworkKind kind);

    std::vector<SimulatedEcu>& ecus() { return ecus_; }
    const std::vector<SimulatedEcu>& ecus() const { return ecus_; }

    // Every message due at elapsedMs, a multiple of kTickMs.
    void tick(uint32_t elapsedMs, std::vector<Outgoing>& out);

    // The answers to a Request for pgn from requester to destination.
    void answer(uint32_t pgn, uint8_t requester, uint8_t destination, uint32_t elapsedMs,
                std::vector<Outgoing>& out);

private:
    std::vector<SimulatedEcu> ecus_;
};

} // namespace zt
