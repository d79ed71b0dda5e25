#include "j1939/address_claim.h"

#include "j1939/transport.h"

#include <algorithm>

namespace zt::j1939 {

namespace {

// Addresses an arbitrary address capable node picks from when it loses its own.
constexpr uint8_t kFirstArbitrary = 128;
constexpr uint8_t kLastArbitrary = 247;

uint64_t mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

} // namespace

AddressClaim::AddressClaim(Engine& engine, std::function<uint32_t()> random)
    : engine_(engine), random_(std::move(random)) {}

// Nothing more goes out from the address for the engine's transfers.
void AddressClaim::addressLost(uint8_t address) {
    engine_.transport_->stopAddress(address);
}

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
    engine_.emitClaimFrame(f, owner);
}

void AddressClaim::setState(Entry& e, ClaimState state) {
    e.state = state;
    if (state != ClaimState::Claiming)
        e.settleAt = kNoDeadline;
    engine_.callbacks_.claimChanged({e.owner, e.address, e.name, state});
}

// Taken by a lower NAME: nothing more goes out from the address. An
// arbitrary address capable node claims a free one instead; any other says
// Cannot Claim from the null address.
void AddressClaim::lose(Entry& e, Micros now) {
    const uint8_t address = e.address;
    const ClaimState after = e.state == ClaimState::Claimed ? ClaimState::Lost : ClaimState::Failed;
    e.lostAddress = address;
    heldElsewhere_.set(address);
    if (name::arbitraryAddressCapable(e.name)) {
        for (unsigned a = kFirstArbitrary; a <= kLastArbitrary; ++a) {
            if (!heldElsewhere_[a] && !holderOf(uint8_t(a))) {
                e.state = ClaimState::None;
                addressLost(address);
                startClaim(e, uint8_t(a), now);
                return;
            }
        }
    }
    emitClaim(kNullAddress, e.name, e.owner);
    setState(e, after);
    addressLost(address);
}

// Claims `address` for an entry that holds none: Address Claimed, then the
// wait, unless another owner of this engine holds the address with a lower
// or equal NAME. False when the claim failed on the spot.
bool AddressClaim::startClaim(Entry& e, uint8_t address, Micros now) {
    e.address = address;
    emitClaim(address, e.name, e.owner);
    if (Entry* holder = holderOf(address)) {
        if (holder->name <= e.name) {
            // The holder stays: it defends the address, the newcomer cannot claim.
            emitClaim(address, holder->name, holder->owner);
            emitClaim(kNullAddress, e.name, e.owner);
            setState(e, ClaimState::Failed);
            return false;
        }
        lose(*holder, now);
    }
    e.settleAt = now + kClaimWait;
    setState(e, ClaimState::Claiming);
    return true;
}

uint32_t AddressClaim::cannotClaimDelayMs(Entry& e) {
    if (random_)
        return random_() % (kCannotClaimMaxDelayMs + 1);
    e.randomState = mix(e.randomState);
    return uint32_t(e.randomState % (kCannotClaimMaxDelayMs + 1));
}

ClaimState AddressClaim::claim(Token owner, uint8_t address, uint64_t name, Micros now) {
    if (Entry* mine = find(owner)) {
        if (active(*mine) && mine->address == address) {
            // The address stays; other nodes learn the new NAME.
            if (mine->name != name) {
                mine->name = name;
                emitClaim(address, name, owner);
            }
            return mine->state;
        }
        release(owner);
    }
    const auto activeCount = std::count_if(entries_.begin(), entries_.end(), active);
    Entry e;
    e.owner = owner;
    e.address = address;
    e.name = name;
    // Nodes that answer a Request at the same moment draw different delays.
    e.randomState = mix(name ^ mix(uint64_t(now)));
    entries_.push_back(e);
    Entry& mine = entries_.back();
    if (address >= kNullAddress || std::size_t(activeCount) >= kMaxProtected)
        setState(mine, ClaimState::Failed);
    else
        startClaim(mine, address, now);
    return mine.state;
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

bool AddressClaim::lostBy(Token owner, uint8_t source) const {
    const Entry* e = find(owner);
    return e && e->lostAddress == source && !(active(*e) && e->address == source);
}

void AddressClaim::onClaimed(uint8_t source, uint64_t name, Micros now) {
    if (source >= kNullAddress)
        return;
    Entry* e = holderOf(source);
    if (!e) {
        heldElsewhere_.set(source);
        return;
    }
    // A lower NAME wins; on a tie the node already holding the address stays.
    if (name < e->name || (name == e->name && e->state == ClaimState::Claiming))
        lose(*e, now);
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
            e.cannotClaimAt = now + cannotClaimDelayMs(e) * kMicrosPerMs;
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
