#include "adapter.h"

#include "device_table.h"
#include "vehicle.h"

#include <rp1210a/rp1210a.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace zt {
namespace {

const auto kLoadTime = std::chrono::steady_clock::now();

void putBe32(char* out, uint32_t v) {
    out[0] = static_cast<char>(v >> 24);
    out[1] = static_cast<char>(v >> 16);
    out[2] = static_cast<char>(v >> 8);
    out[3] = static_cast<char>(v);
}

std::array<uint8_t, 8> nameBytes(uint64_t name) {
    std::array<uint8_t, 8> b{};
    for (int i = 0; i < 8; ++i)
        b[i] = static_cast<uint8_t>(name >> (8 * i));
    return b;
}

} // namespace

uint32_t nowMs() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now() - kLoadTime).count());
}

bool J1939Filter::matches(const FrameInfo& m) const {
    if ((flags & FILTER_PGN) && pgn != m.pgn)
        return false;
    if ((flags & FILTER_PRIORITY) && priority != m.priority)
        return false;
    if ((flags & FILTER_SOURCE) && source != m.source)
        return false;
    if ((flags & FILTER_DESTINATION) && destination != m.destination)
        return false;
    return true;
}

J1939Filter parseJ1939Filter(const uint8_t* r) {
    J1939Filter f;
    f.flags = r[0];
    f.pgn = (r[1] | (uint32_t{r[2]} << 8) | (uint32_t{r[3]} << 16)) & 0x3FFFF;
    // Compared the way messages carry their PGN: PDU1 formats without the low byte.
    if (((f.pgn >> 8) & 0xFF) < 240)
        f.pgn &= ~0xFFu;
    f.priority = r[4] & 7;
    f.source = r[5];
    f.destination = r[6];
    return f;
}

// ---------------------------------------------------------------------------
// Client

bool Client::passes(const FrameInfo& info) const {
    switch (mode) {
    case FilterMode::PassAll:
        return true;
    case FilterMode::DiscardAll:
        return false;
    case FilterMode::Selected:
        if (protocol == Protocol::J1708)
            return mids[info.mid];
        if (protocol == Protocol::J1939)
            return std::any_of(j1939Filters.begin(), j1939Filters.end(),
                               [&](const J1939Filter& f) { return f.matches(info); });
        return false;
    }
    return false;
}

void Client::touch() {
    ++version;
    if (statusWaiters > 0)
        statusChanged.notify_all();
}

void Client::offer(const SharedFrame& frame, bool own) {
    std::lock_guard lock(m);
    if (!connected || !receiveOn || (own && !echoOn) || !passes(frame->info))
        return;
    if (queue.size() >= kQueueMessages || queuedBytes + frame->bytes.size() > maxBytes) {
        // Never grow past the bound: the newest message is dropped, counted,
        // and the next read reports the loss.
        ++overflowed;
        overflowPending = true;
    } else {
        queue.push_back(frame);
        queuedBytes += frame->bytes.size();
        ++queued;
    }
    if (blockedReaders > 0)
        readable.notify_one();
    touch();
}

// ---------------------------------------------------------------------------
// Bus

void Bus::carry(FramePtr frame, const Client* sender) {
    frame->stamp(nowMs());
    const SharedFrame shared = std::move(frame);
    for (const auto& c : clients)
        c->offer(shared, c.get() == sender);
    ++carried;
}

void Bus::transmit(FramePtr frame, const Client* sender) {
    const SharedFrame request = frame;
    carry(std::move(frame), sender);
    if (protocol == Protocol::J1939 && request->info.pgn == kPgnRequest && request->data().size() >= 3)
        answerRequest(*request);
}

void Bus::sendClaimed(uint8_t address, uint64_t name, const Client* sender) {
    const auto data = nameBytes(name);
    carry(makeJ1939(kPgnAddressClaimed, 6, address, kGlobalAddress, data), sender);
}

void Bus::sendCannotClaim(uint64_t name, const Client* sender) {
    sendClaimed(kNullAddress, name, sender);
}

bool Bus::engineHoldsAddress() const {
    if (!engine.present)
        return false;
    const auto it = claims.find(engine.address);
    return it != claims.end() && it->second.client == nullptr;
}

void Bus::answerRequest(const Frame& request) {
    const auto d = request.data();
    const uint32_t wanted = d[0] | (uint32_t{d[1]} << 8) | (uint32_t{d[2]} << 16);
    const uint8_t dest = request.info.destination;

    if (engine.present) {
        if (engineHoldsAddress() && (dest == engine.address || dest == kGlobalAddress)) {
            if (wanted == kPgnAddressClaimed) {
                sendClaimed(engine.address, engine.name, nullptr);
            } else if (auto answer = engineJ1939(wanted, engine.address, nowMs() - engine.startMs)) {
                carry(std::move(answer), nullptr);
            } else if (dest == engine.address) {
                // Negative acknowledgment of a request addressed to the engine.
                const uint8_t nack[8] = {1,
                                         0xFF,
                                         0xFF,
                                         0xFF,
                                         request.info.source,
                                         static_cast<uint8_t>(wanted),
                                         static_cast<uint8_t>(wanted >> 8),
                                         static_cast<uint8_t>(wanted >> 16)};
                carry(makeJ1939(kPgnAcknowledgment, 6, engine.address, kGlobalAddress, nack), nullptr);
            }
        } else if (!engineHoldsAddress() && wanted == kPgnAddressClaimed && dest == kGlobalAddress) {
            sendCannotClaim(engine.name, nullptr);
        }
    }
    // The adapter answers for the addresses its clients protect.
    if (wanted == kPgnAddressClaimed) {
        const auto snapshot = claims;
        for (const auto& [address, claim] : snapshot)
            if (claim.client != nullptr && (dest == address || dest == kGlobalAddress))
                sendClaimed(address, claim.name, claim.client);
    }
}

bool Bus::claim(const Client* holder, uint8_t address, uint64_t name) {
    if (holder != nullptr) {
        const auto mine = clientClaims.find(holder);
        if (mine != clientClaims.end() && mine->second.state == ClaimState::Claimed &&
            mine->second.address != address)
            release(holder);
    }
    sendClaimed(address, name, holder);
    const auto it = claims.find(address);
    if (it != claims.end() && it->second.client != holder) {
        const Claim defender = it->second;
        if (defender.name <= name) {
            // The lower NAME keeps the address: it answers with its own claim
            // and the newcomer gives up.
            sendClaimed(address, defender.name, defender.client);
            sendCannotClaim(name, holder);
            if (holder != nullptr)
                clientClaims[holder] = {address, name, ClaimState::Failed};
            return false;
        }
        sendCannotClaim(defender.name, defender.client);
        if (defender.client != nullptr)
            clientClaims[defender.client].state = ClaimState::Lost;
    }
    claims[address] = {holder, name};
    if (holder != nullptr)
        clientClaims[holder] = {address, name, ClaimState::Claimed};
    return true;
}

void Bus::release(const Client* client) {
    const auto mine = clientClaims.find(client);
    if (mine == clientClaims.end() || mine->second.state != ClaimState::Claimed)
        return;
    const uint8_t address = mine->second.address;
    mine->second.state = ClaimState::None;
    const auto it = claims.find(address);
    if (it != claims.end() && it->second.client == client)
        claims.erase(it);
    if (engine.present && address == engine.address && claims.find(address) == claims.end())
        claim(nullptr, engine.address, engine.name);
}

void Bus::startEngine(uint32_t startMs) {
    engine = {true, kEngineAddress, kEngineName, startMs};
    claim(nullptr, engine.address, engine.name);
}

void Bus::stopEngine() {
    for (auto it = claims.begin(); it != claims.end();) {
        if (it->second.client == nullptr)
            it = claims.erase(it);
        else
            ++it;
    }
    engine.present = false;
}

// ---------------------------------------------------------------------------
// Device and adapter

Device::Device(int id) : id(id) {}
Device::~Device() = default;

Adapter& Adapter::instance() {
    static Adapter adapter;
    return adapter;
}

Adapter::~Adapter() {
    // The library is being unloaded (or the process ends): no vehicle thread
    // may outlive the code it runs, and blocked readers are woken.
    std::vector<std::unique_ptr<Vehicle>> vehicles;
    std::vector<std::shared_ptr<Client>> clients;
    {
        std::lock_guard lock(m_);
        for (auto& [id, d] : devices_)
            if (d->vehicle)
                vehicles.push_back(std::move(d->vehicle));
        for (auto& c : clients_)
            if (c)
                clients.push_back(std::move(c));
    }
    vehicles.clear();
    for (auto& c : clients) {
        std::lock_guard lock(c->m);
        c->connected = false;
        c->readable.notify_all();
        c->statusChanged.notify_all();
    }
}

int16_t Adapter::connect(int deviceId, const char* protocol, int32_t receiveBufferSize) {
    const DeviceTable table = loadDeviceTable();
    const DeviceEntry* entry = table.find(deviceId);
    if (entry == nullptr)
        return ERR_INVALID_DEVICE;
    const int p = protocolFromName(protocol);
    if (p == 0 || !entry->supports(static_cast<Protocol>(p)))
        return ERR_INVALID_PROTOCOL;
    const Protocol proto = static_cast<Protocol>(p);
    const std::size_t maxBytes =
        receiveBufferSize > 0 ? static_cast<std::size_t>(receiveBufferSize) : kQueueBytesDefault;

    std::lock_guard lock(m_);
    int id = -1;
    // Ids are handed out round-robin so that a stale id stays invalid for as
    // long as possible instead of reaching the next client at once.
    for (int i = 0; i < kMaxClients; ++i) {
        const int candidate = (next_ + i) % kMaxClients;
        if (!clients_[candidate]) {
            id = candidate;
            break;
        }
    }
    if (id < 0)
        return ERR_CLIENT_AREA_FULL;
    next_ = (id + 1) % kMaxClients;

    auto& slot = devices_[deviceId];
    if (!slot)
        slot = std::make_unique<Device>(deviceId);
    Device& d = *slot;
    if (d.clientCount == 0) {
        d.description = entry->description;
        d.simulatedVehicle = entry->simulatedVehicle;
    }
    Bus& bus = d.bus(proto);
    auto client = std::make_shared<Client>(static_cast<int16_t>(id), proto, d, bus, maxBytes);
    client->emptyReadWait = table.emptyReadWaitMicros;
    {
        std::lock_guard busLock(bus.m);
        bus.clients.push_back(client);
        client->onBus = true;
    }
    clients_[id] = client;
    ++d.clientCount;
    ++d.perProtocol[p];
    if (d.clientCount == 1 && d.simulatedVehicle) {
        const uint32_t start = nowMs();
        {
            std::lock_guard busLock(d.j1939.m);
            d.j1939.startEngine(start);
        }
        d.vehicle = std::make_unique<Vehicle>(d, start);
    }
    return static_cast<int16_t>(id);
}

int16_t Adapter::disconnect(int16_t id) {
    std::shared_ptr<Client> c;
    std::unique_ptr<Vehicle> stopping;
    {
        std::lock_guard lock(m_);
        if (id < 0 || id >= kMaxClients || !clients_[id])
            return ERR_INVALID_CLIENT_ID;
        c = std::move(clients_[id]);
        Device& d = c->device;
        --d.clientCount;
        --d.perProtocol[static_cast<int>(c->protocol)];
        {
            std::lock_guard busLock(c->bus.m);
            auto& list = c->bus.clients;
            list.erase(std::remove(list.begin(), list.end(), c), list.end());
            c->onBus = false;
            c->bus.release(c.get());
            c->bus.clientClaims.erase(c.get());
        }
        if (d.clientCount == 0 && d.vehicle) {
            {
                std::lock_guard busLock(d.j1939.m);
                d.j1939.stopEngine();
            }
            stopping = std::move(d.vehicle);
        }
    }
    {
        std::lock_guard lock(c->m);
        c->connected = false;
        c->queue.clear();
        c->queuedBytes = 0;
        c->readable.notify_all();
        c->touch();
        c->statusChanged.notify_all();
    }
    stopping.reset(); // joins the vehicle thread, outside every lock
    return RP1210_NO_ERRORS;
}

std::shared_ptr<Client> Adapter::find(int16_t id) {
    if (id < 0 || id >= kMaxClients)
        return nullptr;
    std::lock_guard lock(m_);
    return clients_[id];
}

int16_t Adapter::send(Client& c, const uint8_t* bytes, int length) {
    FramePtr frame;
    if (const int err = parseTransmit(c.protocol, bytes, length, frame); err != RP1210_NO_ERRORS)
        return static_cast<int16_t>(err);
    std::lock_guard lock(c.bus.m);
    if (!c.onBus)
        return ERR_CLIENT_DISCONNECTED;
    c.bus.transmit(std::move(frame), &c);
    return RP1210_NO_ERRORS;
}

int16_t Adapter::read(Client& c, char* buffer, int size, bool block) {
    if (buffer == nullptr || size < 0)
        return -ERR_INVALID_COMMAND;
    SharedFrame frame;
    {
        std::unique_lock lock(c.m);
        if (block) {
            ++c.blockedReaders;
            c.touch();
            c.readable.wait(lock, [&] { return !c.connected || !c.queue.empty() || c.overflowPending; });
            --c.blockedReaders;
            c.touch();
        } else if (c.connected && c.queue.empty() && !c.overflowPending && c.emptyReadWait > 0) {
            // A caller polling a quiet bus would otherwise spin: wait a short
            // bounded time, and return the moment a message arrives. The
            // status is not touched, so blocking status calls are not woken
            // a thousand times a second.
            ++c.blockedReaders;
            c.readable.wait_for(lock, std::chrono::microseconds(c.emptyReadWait),
                                [&] { return !c.connected || !c.queue.empty() || c.overflowPending; });
            --c.blockedReaders;
        }
        if (!c.connected)
            return -ERR_CLIENT_DISCONNECTED;
        if (c.overflowPending) {
            c.overflowPending = false;
            c.touch();
            return -ERR_RX_QUEUE_FULL;
        }
        if (c.queue.empty())
            return 0;
        frame = std::move(c.queue.front());
        c.queue.pop_front();
        c.queuedBytes -= frame->bytes.size();
        c.touch();
        if (frame->bytes.size() > static_cast<std::size_t>(size)) {
            // Dropped rather than kept, so a reader with a small buffer does
            // not stick on it.
            ++c.tooLong;
            return -ERR_MESSAGE_TOO_LONG;
        }
    }
    std::memcpy(buffer, frame->bytes.data(), frame->bytes.size());
    return static_cast<int16_t>(frame->bytes.size());
}

int16_t Adapter::command(Client& c, int number, const uint8_t* b, int length) {
    if (length < 0 || (length > 0 && b == nullptr))
        return ERR_INVALID_COMMAND;
    switch (number) {
    case RP1210_Set_All_Filters_States_to_Pass:
    case RP1210_Set_All_Filters_States_to_Discard: {
        if (length != 0)
            return ERR_INVALID_COMMAND;
        std::lock_guard lock(c.m);
        c.mode =
            number == RP1210_Set_All_Filters_States_to_Pass ? FilterMode::PassAll : FilterMode::DiscardAll;
        c.j1939Filters.clear();
        c.mids.fill(false);
        c.touch();
        return RP1210_NO_ERRORS;
    }
    case RP1210_Set_Message_Filtering_For_J1708: {
        // A list of MIDs to pass; successive commands add to the list.
        if (c.protocol != Protocol::J1708 || length < 1)
            return ERR_INVALID_COMMAND;
        std::lock_guard lock(c.m);
        if (c.mode != FilterMode::Selected) {
            c.mode = FilterMode::Selected;
            c.mids.fill(false);
        }
        for (int i = 0; i < length; ++i)
            c.mids[b[i]] = true;
        c.touch();
        return RP1210_NO_ERRORS;
    }
    case RP1210_Set_Message_Filtering_For_J1939: {
        // One or more 7-byte records; a message passes when any record matches.
        if (c.protocol != Protocol::J1939 || length == 0 || length % 7 != 0)
            return ERR_INVALID_COMMAND;
        std::vector<J1939Filter> records;
        for (int i = 0; i < length; i += 7)
            records.push_back(parseJ1939Filter(b + i));
        std::lock_guard lock(c.m);
        if (c.mode != FilterMode::Selected) {
            c.mode = FilterMode::Selected;
            c.j1939Filters.clear();
        }
        for (const auto& r : records) {
            if (std::find(c.j1939Filters.begin(), c.j1939Filters.end(), r) != c.j1939Filters.end())
                continue;
            if (c.j1939Filters.size() >= kMaxJ1939Filters)
                return ERR_NOT_ENOUGH_MEMORY;
            c.j1939Filters.push_back(r);
        }
        c.touch();
        return RP1210_NO_ERRORS;
    }
    case RP1210_Echo_Transmitted_Messages:
    case RP1210_Set_Message_Receive: {
        if (length != 1 || b[0] > 1)
            return ERR_INVALID_COMMAND;
        std::lock_guard lock(c.m);
        (number == RP1210_Echo_Transmitted_Messages ? c.echoOn : c.receiveOn) = b[0] == 1;
        c.touch();
        return RP1210_NO_ERRORS;
    }
    case RP1210_Protect_J1939_Address: {
        // Address, NAME (least significant byte first), and the mode byte.
        // Arbitration on the simulated bus is decided before the call returns,
        // so "block until done" (0) and "return before completion" (2) both
        // report the outcome; any other mode byte counts as 0.
        if (c.protocol != Protocol::J1939 || length != 10 || b[0] >= kNullAddress)
            return ERR_INVALID_COMMAND;
        uint64_t name = 0;
        for (int i = 0; i < 8; ++i)
            name |= uint64_t{b[1 + i]} << (8 * i);
        bool won = false;
        {
            std::lock_guard lock(c.bus.m);
            if (!c.onBus)
                return ERR_CLIENT_DISCONNECTED;
            won = c.bus.claim(&c, b[0], name);
        }
        {
            std::lock_guard lock(c.m);
            c.touch();
        }
        return won ? RP1210_NO_ERRORS : ERR_ADDRESS_CLAIM_FAILED;
    }
    default:
        return ERR_COMMAND_NOT_SUPPORTED;
    }
}

int16_t Adapter::status(Client& c, char* buffer, int size, bool block) {
    if (buffer == nullptr || size <= 0)
        return ERR_INVALID_COMMAND;
    char s[kStatusSize] = {};
    {
        std::unique_lock lock(c.m);
        if (block) {
            // Returns once anything the status shows has changed.
            ++c.statusWaiters;
            c.touch();
            const uint64_t seen = c.version;
            c.statusChanged.wait(lock, [&] { return !c.connected || c.version != seen; });
            --c.statusWaiters;
        }
        if (!c.connected)
            return ERR_CLIENT_DISCONNECTED;
        s[5] = static_cast<char>(c.protocol);
        s[6] = static_cast<char>((c.receiveOn ? 1 : 0) | (c.echoOn ? 2 : 0));
        s[7] = static_cast<char>(c.mode);
        s[10] = static_cast<char>(std::min(c.blockedReaders, 255));
        s[11] = static_cast<char>(std::min(c.statusWaiters, 255));
        putBe32(s + 12, static_cast<uint32_t>(c.queue.size()));
        putBe32(s + 16, c.queued);
        putBe32(s + 20, c.overflowed);
        putBe32(s + 24, c.tooLong);
        putBe32(s + 28, static_cast<uint32_t>(kQueueMessages));
    }
    {
        std::lock_guard lock(m_);
        const Device& d = c.device;
        s[0] = static_cast<char>(1 | (d.vehicle ? 2 : 0));
        s[1] = static_cast<char>(std::min(d.clientCount, 255));
        s[2] = static_cast<char>(d.perProtocol[1]);
        s[3] = static_cast<char>(d.perProtocol[2]);
        s[4] = static_cast<char>(d.perProtocol[3]);
    }
    {
        Bus& j1939 = c.device.j1939;
        std::lock_guard lock(j1939.m);
        if (j1939.engineHoldsAddress())
            s[0] = static_cast<char>(s[0] | 4);
        s[8] = static_cast<char>(kNullAddress);
        if (&c.bus == &j1939) {
            const auto it = j1939.clientClaims.find(&c);
            if (it != j1939.clientClaims.end()) {
                s[8] = static_cast<char>(it->second.address);
                s[9] = static_cast<char>(it->second.state);
            }
        }
    }
    std::memcpy(buffer, s, static_cast<std::size_t>(std::min(size, kStatusSize)));
    return RP1210_NO_ERRORS;
}

} // namespace zt
