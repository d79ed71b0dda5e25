#include "vehicle/simulated_ecu.h"

#include "clients/messages.h"
#include "j1939/j1939.h"

#include <algorithm>

namespace zt {

std::vector<uint8_t> diagnosticMessage(std::span<const Dtc> codes) {
    std::vector<uint8_t> d;
    d.reserve(2 + 4 * std::max<std::size_t>(codes.size(), 1) + 2);
    // Lamps: MIL, red stop, amber warning, protect (2 bits each, 01 on);
    // then their flash codes, FF: not flashing.
    d.push_back(codes.empty() ? 0x00 : 0x04);
    d.push_back(0xFF);
    if (codes.empty())
        d.insert(d.end(), {0, 0, 0, 0});
    for (const Dtc& c : codes) {
        d.push_back(static_cast<uint8_t>(c.spn));
        d.push_back(static_cast<uint8_t>(c.spn >> 8));
        d.push_back(static_cast<uint8_t>(((c.spn >> 16) & 0x7) << 5 | (c.fmi & 0x1F)));
        d.push_back(static_cast<uint8_t>(c.count & 0x7F)); // conversion method 0
    }
    while (d.size() < 8)
        d.push_back(0xFF);
    return d;
}

std::vector<uint8_t> acknowledgment(uint8_t control, uint8_t requester, uint32_t pgn) {
    return {control,
            0xFF,
            0xFF,
            0xFF,
            requester,
            static_cast<uint8_t>(pgn),
            static_cast<uint8_t>(pgn >> 8),
            static_cast<uint8_t>(pgn >> 16)};
}

FaultMemory::FaultMemory(std::vector<ScriptedFault> script) {
    for (auto& f : script)
        entries_.push_back({f});
}

void FaultMemory::update(uint32_t ms) {
    for (Entry& e : entries_) {
        const uint32_t t = ms % e.fault.periodMs;
        const bool now = t >= e.fault.fromMs && t < e.fault.toMs;
        if (now && !e.scriptActive) {
            e.active = true;
            e.previouslyActive = false;
            e.count = e.count == 0 ? e.fault.firstCount : static_cast<uint8_t>(std::min(e.count + 1, 126));
        } else if (!now && e.scriptActive && e.active) {
            e.active = false;
            e.previouslyActive = true;
        }
        e.scriptActive = now;
    }
}

std::vector<Dtc> FaultMemory::active() const {
    std::vector<Dtc> codes;
    for (const Entry& e : entries_)
        if (e.active)
            codes.push_back({e.fault.spn, e.fault.fmi, e.count});
    return codes;
}

std::vector<Dtc> FaultMemory::previouslyActive() const {
    std::vector<Dtc> codes;
    for (const Entry& e : entries_)
        if (e.previouslyActive)
            codes.push_back({e.fault.spn, e.fault.fmi, e.count});
    return codes;
}

void FaultMemory::clearActive() {
    for (Entry& e : entries_) {
        if (e.active) {
            e.active = false;
            e.count = 0;
        }
    }
}

void FaultMemory::clearPreviouslyActive() {
    for (Entry& e : entries_) {
        if (e.previouslyActive) {
            e.previouslyActive = false;
            e.count = 0;
        }
    }
}

std::vector<uint8_t> buildDm1(const SimulatedEcu& ecu, const Periodic&, const TruckState&) {
    return diagnosticMessage(ecu.faults().active());
}

SimulatedEcu::SimulatedEcu(EcuIdentity identity, std::vector<Periodic> periodic,
                           std::vector<ScriptedFault> faults)
    : identity_(std::move(identity)), periodic_(std::move(periodic)), faults_(std::move(faults)) {}

void SimulatedEcu::put(uint32_t pgn, uint8_t priority, std::vector<uint8_t> data, std::vector<Outgoing>& out,
                       uint8_t destination) const {
    out.push_back({pgn, priority, identity_.address, destination, std::move(data)});
}

void SimulatedEcu::tick(uint32_t ms, const TruckState& truck, std::vector<Outgoing>& out) {
    faults_.update(ms);
    for (const Periodic& p : periodic_)
        if (ms >= p.offsetMs && (ms - p.offsetMs) % p.periodMs == 0)
            put(p.pgn, p.priority, p.build(*this, p, truck), out);
}

void SimulatedEcu::answer(uint32_t pgn, uint8_t requester, bool toThisEcu, uint32_t ms,
                          const TruckState& truck, std::vector<Outgoing>& out) {
    faults_.update(ms);
    // A long answer to one requester goes to it by RTS/CTS, one to a global
    // Request (or to a node without an address) by BAM to everybody.
    const bool directed = toThisEcu && requester < j1939::kNullAddress;
    const auto answerWith = [&](uint32_t p, std::vector<uint8_t> data) {
        const uint8_t destination = directed && data.size() > 8 ? requester : j1939::kGlobalAddress;
        put(p, 6, std::move(data), out, destination);
    };
    const auto text = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };

    for (const Periodic& p : periodic_) {
        if (p.pgn == pgn) {
            std::vector<uint8_t> data = p.build(*this, p, truck);
            const uint8_t destination = directed && data.size() > 8 ? requester : j1939::kGlobalAddress;
            put(p.pgn, p.priority, std::move(data), out, destination);
            return;
        }
    }
    switch (pgn) {
    case j1939::pgn::kAddressClaimed:
        return;
    case kPgnDm2:
        answerWith(pgn, diagnosticMessage(faults_.previouslyActive()));
        return;
    case kPgnDm3:
        faults_.clearPreviouslyActive();
        put(kPgnAcknowledgment, 6, acknowledgment(kAckPositive, requester, pgn), out);
        return;
    case kPgnDm11:
        if (identity_.refusesDm11) {
            put(kPgnAcknowledgment, 6, acknowledgment(kAckNegative, requester, pgn), out);
            return;
        }
        faults_.clearActive();
        put(kPgnAcknowledgment, 6, acknowledgment(kAckPositive, requester, pgn), out);
        return;
    case kPgnComponentId:
        answerWith(pgn, text(identity_.componentId));
        return;
    case kPgnSoftwareId: {
        std::vector<uint8_t> d{
            static_cast<uint8_t>(std::count(identity_.softwareId.begin(), identity_.softwareId.end(), '*'))};
        d.insert(d.end(), identity_.softwareId.begin(), identity_.softwareId.end());
        answerWith(pgn, std::move(d));
        return;
    }
    case kPgnVehicleIdentification:
        if (!identity_.vin.empty()) {
            answerWith(pgn, text(identity_.vin + "*"));
            return;
        }
        break;
    case kPgnEcuIdentification:
        if (!identity_.ecuIdentification.empty()) {
            answerWith(pgn, text(identity_.ecuIdentification));
            return;
        }
        break;
    default:
        break;
    }
    // A Request sent to this ECU for something it does not have is answered
    // with a negative Acknowledgment; a global one is left unanswered.
    if (toThisEcu)
        put(kPgnAcknowledgment, 6, acknowledgment(kAckNegative, requester, pgn), out);
}

} // namespace zt
