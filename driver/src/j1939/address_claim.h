// Address claim (J1939-81) for the addresses an engine protects on behalf of
// its owners: Address Claimed on the bus, the 250 ms wait, arbitration by
// NAME against other nodes and between the engine's own owners, answers to a
// Request for Address Claimed.
#pragma once

#include "j1939/engine.h"

#include <functional>
#include <vector>

namespace zt::j1939 {

class AddressClaim {
public:
    struct Hooks {
        // A claim frame and the owner it speaks for.
        std::function<void(const CanFrame&, Token owner)> emit;
        std::function<void(const ClaimEvent&)> changed;
        std::function<void(uint8_t address)> lost; // an address this engine no longer protects
    };

    static constexpr std::size_t kMaxProtected = 16;

    AddressClaim(Hooks hooks, std::function<uint32_t()> random);

    ClaimState claim(Token owner, uint8_t address, uint64_t name, Micros now);
    void release(Token owner);
    ClaimState state(Token owner) const;
    uint8_t address(Token owner) const;
    bool usable(Token owner) const;
    // Claiming or Claimed by one of the owners.
    bool protects(uint8_t address) const;
    // True once, for the owner's first send from the address it lost.
    bool takeLostReport(Token owner, uint8_t source);

    // Address Claimed or Cannot Claim from another node.
    void onClaimed(uint8_t source, uint64_t name, Micros now);
    // A Request for Address Claimed sent to `destination` (255: everyone).
    void onRequest(uint8_t destination, Micros now);

    void poll(Micros now);
    Micros nextDeadline() const;

private:
    struct Entry {
        Token owner = 0;
        uint8_t address = kNullAddress;
        uint64_t name = 0;
        ClaimState state = ClaimState::None;
        Micros settleAt = kNoDeadline;
        Micros cannotClaimAt = kNoDeadline; // a delayed answer to a Request
        bool lostReported = false;
    };

    static bool active(const Entry& e) {
        return e.state == ClaimState::Claiming || e.state == ClaimState::Claimed;
    }
    Entry* find(Token owner);
    const Entry* find(Token owner) const;
    Entry* holderOf(uint8_t address);
    void emitClaim(uint8_t source, uint64_t name, Token owner);
    void setState(Entry& e, ClaimState state);
    void lose(Entry& e);

    Hooks hooks_;
    std::function<uint32_t()> random_;
    std::vector<Entry> entries_;
};

} // namespace zt::j1939
