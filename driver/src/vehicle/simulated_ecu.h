// One simulated J1939 ECU: its address and NAME, the messages it sends on
// their periods, the identification strings it answers Requests with, and a
// fault memory whose trouble codes come and go on a script. Pure logic on the
// elapsed milliseconds it is handed: the vehicle thread drives it on the
// device's clock, tests drive it with chosen moments.
#pragma once

#include "vehicle/truck_model.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zt {

constexpr uint32_t kPgnDm1 = 65226;                   // active diagnostic trouble codes, 0xFECA
constexpr uint32_t kPgnDm2 = 65227;                   // previously active codes, 0xFECB
constexpr uint32_t kPgnDm3 = 65228;                   // clear previously active codes, 0xFECC
constexpr uint32_t kPgnDm11 = 65235;                  // clear active codes, 0xFED3
constexpr uint32_t kPgnComponentId = 65259;           // 0xFEEB
constexpr uint32_t kPgnSoftwareId = 65242;            // 0xFEDA
constexpr uint32_t kPgnVehicleIdentification = 65260; // 0xFEEC
constexpr uint32_t kPgnEcuIdentification = 64965;     // 0xFDC5

// Acknowledgment control bytes.
constexpr uint8_t kAckPositive = 0;
constexpr uint8_t kAckNegative = 1;

// A message an ECU puts on the bus. destination is 255 (global) except for a
// long answer to one requester, which goes to it by RTS/CTS.
struct Outgoing {
    uint32_t pgn = 0;
    uint8_t priority = 6;
    uint8_t source = 0;
    uint8_t destination = 0xFF;
    std::vector<uint8_t> data;
};

// A diagnostic trouble code: SPN, failure mode and how often it occurred.
struct Dtc {
    uint32_t spn = 0;
    uint8_t fmi = 0;
    uint8_t count = 0;
    bool operator==(const Dtc&) const = default;
};

// The DM1/DM2 layout: lamps (amber warning on while any code is listed),
// flash byte, then four bytes per code (SPN in 19 bits, FMI, conversion
// method 0, occurrence count). No code: one code of zeros. Padded with FF to
// 8 bytes; longer with two codes or more.
std::vector<uint8_t> diagnosticMessage(std::span<const Dtc> codes);

// The Acknowledgment (PGN 59392): control, group function FF, FF FF, the
// requester's address, the PGN acknowledged.
std::vector<uint8_t> acknowledgment(uint8_t control, uint8_t requester, uint32_t pgn);

// A fault the ECU detects while (elapsed % periodMs) lies in [fromMs, toMs).
struct ScriptedFault {
    uint32_t spn = 0;
    uint8_t fmi = 0;
    uint32_t periodMs = 0;
    uint32_t fromMs = 0;
    uint32_t toMs = 0;
    uint8_t firstCount = 1; // occurrence count at its first appearance
};

// Active and previously active codes. A fault becomes active when its script
// says it appears (its occurrence count goes up by one each time after the
// first) and moves to previously active when the script clears it. Clearing
// by DM11 or DM3 erases the codes and their counts; a fault cleared while its
// condition still holds is detected again at its next appearance.
class FaultMemory {
public:
    explicit FaultMemory(std::vector<ScriptedFault> script = {});
    void update(uint32_t elapsedMs);
    std::vector<Dtc> active() const;
    std::vector<Dtc> previouslyActive() const;
    void clearActive();
    void clearPreviouslyActive();

private:
    struct Entry {
        ScriptedFault fault;
        bool scriptActive = false;
        bool active = false;
        bool previouslyActive = false;
        uint8_t count = 0;
    };
    std::vector<Entry> entries_;
};

class SimulatedEcu;

// A message sent on a period; the first goes offsetMs after the start.
struct Periodic {
    using Build = std::vector<uint8_t> (*)(const SimulatedEcu&, const Periodic&, const TruckState&);
    uint32_t pgn = 0;
    uint8_t priority = 6;
    uint32_t periodMs = 1000;
    uint32_t offsetMs = 0;
    Build build = nullptr;
};

struct EcuIdentity {
    uint8_t address = 0;
    uint64_t name = 0;             // 0: sends from its address without claiming it
    std::string componentId;       // make*model*serial number*unit number*
    std::string softwareId;        // the fields, each ending in '*'; answered after their count
    std::string ecuIdentification; // empty: not answered
    std::string vin;               // empty: not answered
    bool refusesDm11 = false;      // answers DM11 with a negative Acknowledgment
};

class SimulatedEcu {
public:
    SimulatedEcu(EcuIdentity identity, std::vector<Periodic> periodic,
                 std::vector<ScriptedFault> faults = {});

    const EcuIdentity& identity() const { return identity_; }
    const FaultMemory& faults() const { return faults_; }

    // The messages due at elapsedMs (a multiple of kTickMs).
    void tick(uint32_t elapsedMs, const TruckState& truck, std::vector<Outgoing>& out);

    // Answers a Request for pgn from requester; toThisEcu when it was sent to
    // this ECU's address rather than to global. Requests for Address Claimed
    // are left to the J1939 engine's address claim.
    void answer(uint32_t pgn, uint8_t requester, bool toThisEcu, uint32_t elapsedMs, const TruckState& truck,
                std::vector<Outgoing>& out);

private:
    void put(uint32_t pgn, uint8_t priority, std::vector<uint8_t> data, std::vector<Outgoing>& out,
             uint8_t destination = 0xFF) const;

    EcuIdentity identity_;
    std::vector<Periodic> periodic_;
    FaultMemory faults_;
};

// The builder of every ECU's DM1: its fault memory's active codes.
std::vector<uint8_t> buildDm1(const SimulatedEcu& ecu, const Periodic&, const TruckState&);

// The vehicle thread's tick: every period and offset is a multiple of it.
constexpr uint32_t kTickMs = 10;

} // namespace zt
