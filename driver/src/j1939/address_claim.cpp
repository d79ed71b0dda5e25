#include "j1939/address_claim.h"

#include <algorithm>

namespace zt::j1939 {

AddressClaim::AddressClaim(Hooks hooks, std::function<uint32_t()> random)
    : hooks_(std::move(hooks)), random_(std::move(random)) {}

AddressClaim::Entry* AddressClaim::find(Token owner) {
    auto it =
        std::find_if(entries_.begin(), entries_.end(), [owner](const Entry& e) { return e.owner == owner; });
    return it == entries_.end() ? nullptr : &*it;
}

const AddressClaim::Entry* AddressClaim::find(Token owner) const {
    return const_cast<AddressClaim*>(this)->find(owner);
}

AddressClaim::Entry* AddressClaim::holderOf(uint8_t address) {
    for (Entry& e : entries_)
        if (active(e) && e.address == address)
            return &e;
    return nullptr;
}

bool AddressClaim::protects(uint8_t address) const {
    return const_cast<AddressClaim*>(this)->holderOf(address);
}

void AddressClaim::emitClaim(uint8_t source, uint64_t name, Token owner) {
    CanFrame f;
    f.id = encodeId(kDefaultPriority, pgn::kAddressClaimed, source, kGlobalAddress);
    f.length = 8;
    for (int i = 0; i < 8; ++i)
        f.data[i] = uint8_t(name >> (8 * i));
    hooks_.emit(f, owner);
}

void AddressClaim::setState(Entry& e, ClaimState state) {
    e.state = state;
    if (state != ClaimState::Claiming)
        e.settleAt = kNoDeadline;
    hooks_.changed({e.owner, e.address, e.name, state});
}

// Taken by a lower NAME: say so from the null address and stop using it.
void AddressClaim::lose(Entry& e) {
    emitClaim(kNullAddress, e.name, e.owner);
    setState(e, e.state == ClaimState::Claimed ? ClaimState::Lost : ClaimState::Failed);
    hooks_.lost(e.address);
}

ClaimState AddressClaim::claim(Token owner, uint8_t address, uint64_t name, Micros now) {
    if (Entry* mine = find(owner)) {
        if (active(*mine) && mine->address == address) {
            mine->name = name;
            return mine->state;
        }
        release(owner);
    }
    const auto activeCount = std::count_if(entries_.begin(), entries_.end(), active);
    Entry e;
    e.owner = owner;
    e.address = address;
    e.name = name;
    if (address >= kNullAddress || std::size_t(activeCount) >= kMaxProtected) {
        e.state = ClaimState::Failed;
        entries_.push_back(e);
        hooks_.changed({owner, address, name, ClaimState::Failed});
        return ClaimState::Failed;
    }
    emitClaim(address, name, owner);
    if (Entry* holder = holderOf(address)) {
        if (holder->name <= name) {
            // The holder stays: it defends the address, the newcomer cannot claim.
            emitClaim(address, holder->name, holder->owner);
            emitClaim(kNullAddress, name, owner);
            e.state = ClaimState::Failed;
            entries_.push_back(e);
            hooks_.changed({owner, address, name, ClaimState::Failed});
            return ClaimState::Failed;
        }
        lose(*holder);
    }
    e.state = ClaimState::Claiming;
    e.settleAt = now + kClaimWait;
    entries_.push_back(e);
    hooks_.changed({owner, address, name, ClaimState::Claiming});
    return ClaimState::Claiming;
}

void AddressClaim::release(Token owner) {
    std::erase_if(entries_, [owner](const Entry& e) { return e.owner == owner; });
}

ClaimState AddressClaim::state(Token owner) const {
    const Entry* e = find(owner);
    return e ? e->state : ClaimState::None;
}

uint8_t AddressClaim::address(Token owner) const {
    const Entry* e = find(owner);
    return e && active(*e) ? e->address : kNullAddress;
}

bool AddressClaim::usable(Token owner) const {
    const Entry* e = find(owner);
    return e && (e->state == ClaimState::Claimed ||
                 (e->state == ClaimState::Claiming && usableAtOnce(e->address)));
}

bool AddressClaim::takeLostReport(Token owner, uint8_t source) {
    Entry* e = find(owner);
    if (!e || e->state != ClaimState::Lost || e->address != source || e->lostReported)
        return false;
    e->lostReported = true;
    return true;
}

void AddressClaim::onClaimed(uint8_t source, uint64_t name, Micros) {
    if (source == kNullAddress)
        return;
    Entry* e = holderOf(source);
    if (!e)
        return;
    // A lower NAME wins; on a tie the node already holding the address stays.
    if (name < e->name || (name == e->name && e->state == ClaimState::Claiming))
        lose(*e);
    else
        emitClaim(e->address, e->name, e->owner);
}

void AddressClaim::onRequest(uint8_t destination, Micros now) {
    for (Entry& e : entries_) {
        if (active(e)) {
            if (destination == kGlobalAddress || destination == e.address)
                emitClaim(e.address, e.name, e.owner);
        } else if (destination == kGlobalAddress && e.state != ClaimState::None &&
                   e.cannotClaimAt == kNoDeadline) {
            const uint32_t delayMs = random_() % (kCannotClaimMaxDelayMs + 1);
            e.cannotClaimAt = now + delayMs * kMicrosPerMs;
        }
    }
}

void AddressClaim::poll(Micros now) {
    for (Entry& e : entries_) {
        if (e.state == ClaimState::Claiming && e.settleAt <= now)
            setState(e, ClaimState::Claimed);
        if (e.cannotClaimAt <= now) {
            e.cannotClaimAt = kNoDeadline;
            if (!active(e))
                emitClaim(kNullAddress, e.name, e.owner);
        }
    }
}

Micros AddressClaim::nextDeadline() const {
    Micros next = kNoDeadline;
    for (const Entry& e : entries_)
        next = std::min({next, e.settleAt, e.cannotClaimAt});
    return next;
}

} // namespace zt::j1939
