#include "vehicle/truck_network.h"

#include <algorithm>
#include <cmath>

namespace zt {
namespace {

using Bytes = std::vector<uint8_t>;

// A physical value as a raw field: (value - offset) / resolution, rounded and
// kept within 0..max (the valid range below the "error" and "n/a" values).
unsigned raw(double value, double resolution, double offset, unsigned max) {
    const double r = std::round((value - offset) / resolution);
    if (r <= 0)
        return 0;
    return r >= max ? max : static_cast<unsigned>(r);
}

constexpr unsigned kMax8 = 0xFA;
constexpr unsigned kMax16 = 0xFAFF;
constexpr uint32_t kMax32 = 0xFAFFFFFF;

uint8_t lo(unsigned v) {
    return static_cast<uint8_t>(v & 0xFF);
}
uint8_t hi(unsigned v) {
    return static_cast<uint8_t>((v >> 8) & 0xFF);
}
void put32(Bytes& d, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        d[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
// A 2-bit state: 00 off, 01 on.
uint8_t bit2(bool on) {
    return on ? 1 : 0;
}
bool faultActive(const SimulatedEcu& ecu, uint32_t spn) {
    const auto active = ecu.faults().active();
    return std::any_of(active.begin(), active.end(), [&](const Dtc& c) { return c.spn == spn; });
}

// Engine.

Bytes eec1(const SimulatedEcu& ecu, const Periodic&, const TruckState& t) {
    const unsigned rpm = raw(t.engineRpm, 0.125, 0, kMax16); // SPN 190
    const uint8_t torque =
        static_cast<uint8_t>(raw(t.engineTorquePercent, 1, -125, kMax8)); // SPN 512, 513, 2432
    // Torque mode 0 (no request), starter mode 0 (start not requested).
    return {0xF0, torque, torque, lo(rpm), hi(rpm), ecu.identity().address, 0xF0, torque};
}

Bytes eec2(const SimulatedEcu&, const Periodic&, const TruckState& t) {
    const uint8_t lowIdle = bit2(t.acceleratorPercent == 0); // SPN 558
    return {static_cast<uint8_t>(0xF0 | lowIdle),
            static_cast<uint8_t>(raw(t.acceleratorPercent, 0.4, 0, kMax8)), // SPN 91
            static_cast<uint8_t>(raw(t.engineTorquePercent, 1, 0, kMax8)),  // SPN 92
            0xFF,
            0xFF,
            0xFF,
            0xFF,
            0xFF};
}

Bytes ccvs(const SimulatedEcu&, const Periodic&, const TruckState& t) {
    const unsigned speed = raw(t.roadSpeedKmh, 1.0 / 256, 0, kMax16); // SPN 84
    return {static_cast<uint8_t>(0xF0 | bit2(t.parkingBrake) << 2),   // SPN 70
            lo(speed),
            hi(speed),
            static_cast<uint8_t>(0xC0 | bit2(t.braking) << 4), // SPN 597; cruise control off
            0xFF,
            0xFF,
            0xFF,
            0xFF};
}

Bytes lfe(const SimulatedEcu&, const Periodic&, const TruckState& t) {
    const unsigned rate = raw(t.fuelRateLitresPerHour, 0.05, 0, kMax16);                          // SPN 183
    const unsigned economy = raw(t.roadSpeedKmh / t.fuelRateLitresPerHour, 1.0 / 512, 0, kMax16); // SPN 184
    return {lo(rate),
            hi(rate),
            lo(economy),
            hi(economy),
            0xFF,
            0xFF,
            static_cast<uint8_t>(raw(t.acceleratorPercent, 0.4, 0, kMax8)), // SPN 51
            0xFF};
}

Bytes et1(const SimulatedEcu&, const Periodic&, const TruckState& t) {
    const unsigned oil = raw(t.coolantC + 5, 0.03125, -273, kMax16);   // SPN 175
    return {static_cast<uint8_t>(raw(t.coolantC, 1, -40, kMax8)),      // SPN 110
            static_cast<uint8_t>(raw(t.coolantC - 10, 1, -40, kMax8)), // SPN 174
            lo(oil),
            hi(oil),
            0xFF,
            0xFF,
            0xFF,
            0xFF};
}

Bytes eflp1(const SimulatedEcu&, const Periodic&, const TruckState& t) {
    return {0xFF,
            0xFF,
            static_cast<uint8_t>(raw(90, 0.4, 0, kMax8)),                    // SPN 98 oil level
            static_cast<uint8_t>(raw(100 + 0.2 * t.engineRpm, 4, 0, kMax8)), // SPN 100 oil pressure
            0xFF,
            0xFF,
            0xFF,
            static_cast<uint8_t>(raw(95, 0.4, 0, kMax8))}; // SPN 111 coolant level
}

// Transmission.

Bytes etc1(const SimulatedEcu&, const Periodic&, const TruckState& t) {
    const unsigned output = raw(t.gear > 0 ? t.engineRpm / t.gearRatio : 0, 0.125, 0, kMax16); // SPN 191
    const unsigned input = raw(t.engineRpm, 0.125, 0, kMax16);                                 // SPN 161
    // Driveline engaged (SPN 560) in gear, torque converter locked up (SPN
    // 573) from second gear, no shift in process (SPN 574).
    const uint8_t states = static_cast<uint8_t>(0xC0 | bit2(t.gear >= 2) << 2 | bit2(t.gear > 0));
    return {states, lo(output), hi(output), 0, 0xFF, lo(input), hi(input), 0xFF};
}

Bytes etc2(const SimulatedEcu&, const Periodic&, const TruckState& t) {
    const uint8_t gear = static_cast<uint8_t>(t.gear + 125);   // SPN 524, 523
    const unsigned ratio = raw(t.gearRatio, 0.001, 0, kMax16); // SPN 526
    return {gear, lo(ratio), hi(ratio), gear, 0xFF, 0xFF, 0xFF, 0xFF};
}

Bytes trf1(const SimulatedEcu& ecu, const Periodic&, const TruckState& t) {
    // The oil runs hot while the transmission's over-temperature fault is active.
    const double oilC = t.coolantC - 5 + (faultActive(ecu, 177) ? 45 : 0);
    const unsigned oil = raw(oilC, 0.03125, -273, kMax16); // SPN 177
    return {0xFF, 0xFF, 0xFF, 0xFF, lo(oil), hi(oil), 0xFF, 0xFF};
}

// Brakes.

Bytes ebc1(const SimulatedEcu&, const Periodic&, const TruckState& t) {
    // ASR and ABS inactive (SPN 561, 562, 563), EBS brake switch (SPN 1121).
    return {static_cast<uint8_t>(bit2(t.braking) << 6),
            static_cast<uint8_t>(raw(t.brakePedalPercent, 0.4, 0, kMax8)), // SPN 521
            0xFF,
            0xFF,
            0xFF,
            0xFF,
            0xFF,
            0xFF};
}

Bytes ebc2(const SimulatedEcu&, const Periodic&, const TruckState& t) {
    const unsigned speed = raw(t.roadSpeedKmh, 1.0 / 256, 0, kMax16); // SPN 904
    // Relative wheel speeds (SPN 905-910), 1/16 km/h per bit, -7.8125: 0.
    return {lo(speed), hi(speed), 0x7D, 0x7D, 0x7D, 0x7D, 0x7D, 0x7D};
}

// Instrument cluster.

Bytes dd(const SimulatedEcu&, const Periodic&, const TruckState& t) {
    return {static_cast<uint8_t>(raw(80, 0.4, 0, kMax8)),                 // SPN 80 washer fluid
            static_cast<uint8_t>(raw(t.fuelLevelPercent, 0.4, 0, kMax8)), // SPN 96 fuel level
            0xFF,
            0xFF,
            0xFF,
            0xFF,
            0xFF,
            0xFF};
}

Bytes vdhr(const SimulatedEcu&, const Periodic&, const TruckState& t) {
    Bytes d(8);
    put32(d, 0, static_cast<uint32_t>(raw((kOdometerStartKm + t.tripKm) * 1000, 5, 0, kMax32))); // SPN 917
    put32(d, 4, static_cast<uint32_t>(raw(t.tripKm * 1000, 5, 0, kMax32)));                      // SPN 918
    return d;
}

// Body controller.

Bytes ld(const SimulatedEcu&, const Periodic&, const TruckState& t) {
    // Running lights and low beams on, high beams off (SPN 2404, 2352,
    // 2348); the left turn signal (SPN 2368) while pulling away.
    return {0x44, bit2(t.leftTurnSignal), 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
}

Bytes dc1(const SimulatedEcu&, const Periodic&, const TruckState& t) {
    // Position of doors (SPN 1821): 0 at least one open, 2 all closed.
    return {static_cast<uint8_t>(0xF0 | (t.doorOpen ? 0 : 2)), 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
}

// A generated node's proprietary message: bytes that follow the engine
// speed, different for every identifier.
Bytes generated(const SimulatedEcu& ecu, const Periodic& p, const TruckState& t) {
    Bytes d(8);
    const unsigned base = static_cast<unsigned>(t.engineRpm) + p.pgn * 7 + ecu.identity().address;
    for (std::size_t i = 0; i < d.size(); ++i)
        d[i] = static_cast<uint8_t>(base * (i + 1) >> (i % 3));
    return d;
}

std::vector<SimulatedEcu> truckEcus() {
    std::vector<SimulatedEcu> e;
    e.emplace_back(
        EcuIdentity{kEngineAddress, kEngineName, "ZTV*TE13*TE13-01A101*ENG-01*",
                    "TE13 ENG 4.2.1*CAL 2026-11*",
                    "ZT-4710-00*SN-01A101*Engine compartment*Engine*Tarvik simulation*", kVin, false},
        std::vector<Periodic>{{kPgnEec1, 3, 20, 0, eec1},
                              {kPgnEec2, 3, 50, 10, eec2},
                              {kPgnCcvs, 6, 100, 30, ccvs},
                              {kPgnLfe, 6, 100, 70, lfe},
                              {kPgnEt1, 6, 1000, 150, et1},
                              {kPgnEflp1, 6, 500, 250, eflp1},
                              {kPgnDm1, 6, 1000, 350, buildDm1}},
        std::vector<ScriptedFault>{{110, 16, 240000, 0, 150000, 3}, {100, 1, 240000, 0, 70000, 1}});
    e.emplace_back(EcuIdentity{kTransmissionAddress, kTransmissionName, "ZTV*TX10*TX10-01A103*TRN-01*",
                               "TX10 TCU 2.0.7*", "", "", false},
                   std::vector<Periodic>{{kPgnEtc1, 3, 10, 0, etc1},
                                         {kPgnEtc2, 6, 100, 40, etc2},
                                         {kPgnTrf1, 6, 1000, 450, trf1},
                                         {kPgnDm1, 6, 1000, 550, buildDm1}},
                   std::vector<ScriptedFault>{{177, 15, 180000, 40000, 130000, 1}});
    e.emplace_back(EcuIdentity{kBrakesAddress, kBrakesName, "ZTV*BR4*BR4-01A10B*BRK-01*", "BR4 EBS 1.3.0*",
                               "", "", true},
                   std::vector<Periodic>{{kPgnEbc1, 6, 100, 20, ebc1},
                                         {kPgnEbc2, 6, 100, 60, ebc2},
                                         {kPgnDm1, 6, 1000, 650, buildDm1}},
                   std::vector<ScriptedFault>{{904, 2, 150000, 20000, 80000, 1}});
    e.emplace_back(EcuIdentity{kClusterAddress, kClusterName, "ZTV*IC7*IC7-01A117*CLU-01*", "IC7 DASH 5.1.2*",
                               "", "", false},
                   std::vector<Periodic>{{kPgnDd, 6, 1000, 120, dd},
                                         {kPgnVdhr, 6, 1000, 520, vdhr},
                                         {kPgnDm1, 6, 1000, 750, buildDm1}});
    e.emplace_back(
        EcuIdentity{kBodyAddress, kBodyName, "ZTV*BC2*BC2-01A121*BCM-01*", "BC2 BODY 3.0.4*", "", "", false},
        std::vector<Periodic>{
            {kPgnLd, 6, 1000, 220, ld}, {kPgnDc1, 6, 1000, 620, dc1}, {kPgnDm1, 6, 1000, 850, buildDm1}});
    return e;
}

// The busy truck's extra nodes: 28 nodes from 0x40 with ten proprietary
// messages each (PGNs 0xFF00-0xFFFF), one in four-and-a-bit every 100 ms and
// the rest every second: some 890 frames a second from 280 identifiers, on
// top of the truck's 235 from 20.
constexpr int kGeneratedNodes = 28;
constexpr int kMessagesPerNode = 10;
constexpr uint8_t kFirstGeneratedAddress = 0x40;

void addGeneratedNodes(std::vector<SimulatedEcu>& e) {
    for (int n = 0; n < kGeneratedNodes; ++n) {
        std::vector<Periodic> periodic;
        for (int j = 0; j < kMessagesPerNode; ++j) {
            const unsigned k = static_cast<unsigned>(n * kMessagesPerNode + j);
            const uint32_t period = k % 17 < 4 ? 100 : 1000;
            periodic.push_back({0xFF00u | (k & 0xFF), 6, period, (k * 30) % period, generated});
        }
        EcuIdentity generatedNode;
        generatedNode.address = static_cast<uint8_t>(kFirstGeneratedAddress + n);
        e.emplace_back(std::move(generatedNode), std::move(periodic));
    }
}

} // namespace

SimulatedNetwork::SimulatedNetwork(NetworkKind kind) : ecus_(truckEcus()) {
    if (kind == NetworkKind::BusyTruck)
        addGeneratedNodes(ecus_);
}

void SimulatedNetwork::tick(uint32_t ms, std::vector<Outgoing>& out) {
    const TruckState truck = truckAt(ms);
    for (SimulatedEcu& ecu : ecus_)
        ecu.tick(ms, truck, out);
}

void SimulatedNetwork::answer(uint32_t pgn, uint8_t requester, uint8_t destination, uint32_t ms,
                              std::vector<Outgoing>& out) {
    const TruckState truck = truckAt(ms);
    for (SimulatedEcu& ecu : ecus_) {
        const uint8_t address = ecu.identity().address;
        // Generated nodes hold no address and answer nothing.
        if (ecu.identity().name == 0 || (destination != address && destination != 0xFF))
            continue;
        ecu.answer(pgn, requester, destination == address, ms, truck, out);
    }
}

} // namespace zt
