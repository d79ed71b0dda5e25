// Address claim (J1939-81) for the addresses an engine protects on behalf of
// its owners: Address Claimed on the bus, the 250 ms wait, arbitration by
// NAME against other nodes and between the engine's own owners, answers to a
// Request for Address Claimed.
#pragma once

#include "j1939/engine.h"

#include <bitset>
#include <functional>
#include <vector>

namespace zt::j1939 {

class AddressClaim {
public:
    static constexpr std::size_t kMaxProtected = 16;

    // Claim frames go out through the engine, state changes to its
    // callbacks; a lost address ends the engine's transfers from it.
    // `random` replaces each claim's own generator of Cannot Claim delays
    // (for tests); empty, each claim seeds one from its NAME and the time.
    AddressClaim(Engine& engine, std::function<uint32_t()> random);

    ClaimState claim(Token owner, uint8_t address, uint64_t name, Micros now);
    void release(Token owner);
    ClaimState state(Token owner) const;
    uint8_t address(Token owner) const;
    bool usable(Token owner) const;
    // Claiming or Claimed by one of the owners.
    bool protects(uint8_t address) const;
    // True when the owner lost `source` (taken by another node, or left
    // for another address): nothing may be sent from it for that owner.
    bool lostBy(Token owner, uint8_t source) const;

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
        uint8_t lostAddress = kNullAddress; // the address last taken from it
        uint64_t randomState = 0;           // its Cannot Claim delays
    };

    static bool active(const Entry& e) {
        return e.state == ClaimState::Claiming || e.state == ClaimState::Claimed;
    }
    Entry* find(Token owner);
    const Entry* find(Token owner) const;
    Entry* holderOf(uint8_t address);
    void emitClaim(uint8_t source, uint64_t name, Token owner);
    void setState(Entry& e, ClaimState state);
    void lose(Entry& e, Micros now);
    bool startClaim(Entry& e, uint8_t address, Micros now);
    uint32_t cannotClaimDelayMs(Entry& e);

    void addressLost(uint8_t address);

    Engine& engine_;
    std::function<uint32_t()> random_;
    std::vector<Entry> entries_;
    std::bitset<256> heldElsewhere_; // addresses other nodes have claimed
};

} // namespace zt::j1939
