#include "clients/adapter.h"

#include "config/device_table.h"
#include "links/recording_link.h"
#include "links/replay_link.h"

#include <rp1210a/rp1210a.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace zt {
namespace {

// About a few microseconds of spinning in a blocking read.
constexpr int kReadSpins = 256;

inline void cpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

void putBe32(char* out, uint32_t v) {
    out[0] = static_cast<char>(v >> 24);
    out[1] = static_cast<char>(v >> 16);
    out[2] = static_cast<char>(v >> 8);
    out[3] = static_cast<char>(v);
}

} // namespace

bool J1939Filter::matches(const MessageInfo& m) const {
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

bool Client::passes(const MessageInfo& info) const {
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

void Client::offer(const SharedMessage& frame, bool own) {
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
        arrivals.store(arrivals.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }
    if (blockedReaders > 0)
        readable.notify_one();
    touch();
}

// ---------------------------------------------------------------------------
// Buses and the device stack

void MessageBus::carry(MessagePtr message, const Client* sender) {
    message->stamp(nowMs());
    const SharedMessage shared = std::move(message);
    for (const auto& c : clients)
        c->offer(shared, c.get() == sender);
}

DeviceStack::~DeviceStack() {
    // The vehicle and the node first, then the J1708 link, whose handler
    // offers to the buses below.
    vehicle.reset();
    j1939.reset();
    if (links.j1708)
        links.j1708->close();
}

namespace {

// Builds the device's links, its J1939 node and, when asked, the vehicle.
// Returns nullptr and the error when a link does not open.
std::shared_ptr<DeviceStack> makeStack(int deviceId, const DeviceEntry& entry,
                                       const DeviceNodesFactory& nodes, LinkError& error) {
    auto stack = std::make_shared<DeviceStack>();
    DeviceStack* s = stack.get();
    s->links = makeDeviceLinks(deviceId, entry.links, systemClock());
    if (s->links.error) {
        error = s->links.error;
        return nullptr;
    }
    if (LinkError e = s->links.j1708->open([s](const J1708Message& m) {
            if (MessagePtr message = makeJ1708Wire(m.bytes)) {
                std::lock_guard lock(s->j1708.m);
                s->j1708.carry(std::move(message), nullptr);
            }
        })) {
        error = e;
        return nullptr;
    }
    J1939Node::Hooks hooks;
    hooks.deliver = [s](const j1939::Message& m) {
        MessagePtr message = makeJ1939(m.pgn, m.priority, m.source, m.destination, m.data);
        message->stamp(static_cast<uint32_t>(m.timestamp / kMicrosPerMs));
        const SharedMessage shared = std::move(message);
        for (const auto& c : s->j1939Clients)
            c->offer(shared, c->owns(m.origin));
    };
    hooks.sendDone = [s](const j1939::SendCompletion& done) {
        if (auto it = s->awaitedSends.find(done.origin); it != s->awaitedSends.end())
            it->second = done.result;
    };
    hooks.claimChanged = [s](const j1939::ClaimEvent& e) {
        for (const auto& c : s->j1939Clients) {
            if (c->token == e.owner) {
                std::lock_guard lock(c->m);
                c->touch();
            }
        }
    };
    s->j1939 = std::make_unique<J1939Node>(std::move(s->links.can), systemClock(), std::move(hooks));
    if (LinkError e = s->j1939->open()) {
        error = e;
        return nullptr;
    }
    if (nodes && s->links.attachCan) {
        DeviceNodeLinks links;
        links.clock = &systemClock();
        links.attachCan = s->links.attachCan;
        links.attachJ1708 = s->links.attachJ1708;
        links.j1850 = [s](uint8_t header, uint8_t target, uint8_t source, std::span<const uint8_t> data) {
            MessagePtr m = makeJ1850(header, target, source, data);
            std::lock_guard lock(s->j1850.m);
            s->j1850.carry(std::move(m), nullptr);
        };
        s->vehicle = nodes(entry, std::move(links));
    }
    return stack;
}

j1939::ClaimState claimStateOf(Client& c, uint8_t& address) {
    return c.stack->j1939->run([&](j1939::Engine& e, auto&) {
        address = e.claimedAddress(c.token);
        return e.claimState(c.token);
    });
}

// The status byte's claim values: 0 none, 1 claimed, 2 lost, 3 failed, 4 claiming.
uint8_t claimStatusByte(j1939::ClaimState s) {
    switch (s) {
    case j1939::ClaimState::None:
        return 0;
    case j1939::ClaimState::Claimed:
        return 1;
    case j1939::ClaimState::Lost:
        return 2;
    case j1939::ClaimState::Failed:
        return 3;
    case j1939::ClaimState::Claiming:
        return 4;
    }
    return 0;
}

} // namespace

// ---------------------------------------------------------------------------
// Device and adapter

Adapter& Adapter::instance() {
    // The clock is made first so that it is destroyed after the adapter: at
    // unload the adapter's destructor joins threads that still read it.
    systemClock();
    static Adapter adapter;
    return adapter;
}

void Adapter::setDeviceNodesFactory(DeviceNodesFactory factory) {
    std::lock_guard lock(m_);
    nodesFactory_ = std::move(factory);
}

Adapter::~Adapter() {
    // The library is being unloaded (or the process ends): no driver thread
    // may outlive the code it runs, and blocked readers are woken.
    std::vector<std::shared_ptr<DeviceStack>> stacks;
    std::vector<std::shared_ptr<Client>> clients;
    {
        std::lock_guard lock(m_);
        for (auto& [id, d] : devices_)
            if (d->stack)
                stacks.push_back(std::move(d->stack));
        std::lock_guard tableLock(clientsM_);
        for (auto& c : clients_)
            if (c)
                clients.push_back(std::move(c));
    }
    for (auto& s : stacks)
        s->vehicle.reset();
    for (auto& c : clients) {
        std::lock_guard lock(c->m);
        c->connected = false;
        c->readable.notify_all();
        c->statusChanged.notify_all();
    }
    // The stacks hold their clients and the clients their stack: break the
    // circle so the stacks' threads end here.
    for (auto& s : stacks) {
        s->j1939->run([&](j1939::Engine&, auto&) { s->j1939Clients.clear(); });
        s->j1939.reset();
        for (MessageBus* bus : {&s->j1708, &s->j1850}) {
            std::lock_guard lock(bus->m);
            bus->clients.clear();
        }
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

    auto& slot = devices_[deviceId];
    if (!slot)
        slot = std::make_unique<Device>(deviceId);
    Device& d = *slot;
    if (!d.stack) {
        LinkError error;
        d.stack = makeStack(deviceId, *entry, nodesFactory_, error);
        if (!d.stack) {
            const int code = error.code != 0 ? error.code : ERR_HARDWARE_NOT_RESPONDING;
            refusals_[code] = error.text;
            return static_cast<int16_t>(code);
        }
        d.description = entry->description;
        refusals_.clear();
    }
    next_ = (id + 1) % kMaxClients;
    const j1939::Token token = j1939::Token{++nextToken_} << 32;
    auto client = std::make_shared<Client>(static_cast<int16_t>(id), proto, d, d.stack, maxBytes, token);
    client->emptyRead = EmptyReadWait(table.emptyReadWaitMicros);
    DeviceStack& s = *d.stack;
    if (proto == Protocol::J1939) {
        s.j1939->run([&](j1939::Engine&, auto&) {
            s.j1939Clients.push_back(client);
            client->onBus = true;
        });
    } else {
        MessageBus& bus = proto == Protocol::J1708 ? s.j1708 : s.j1850;
        std::lock_guard busLock(bus.m);
        bus.clients.push_back(client);
        client->onBus = true;
    }
    {
        std::lock_guard tableLock(clientsM_);
        clients_[id] = client;
    }
    ++d.clientCount;
    ++d.perProtocol[p];
    return static_cast<int16_t>(id);
}

std::string Adapter::refusalText(int code) {
    std::lock_guard lock(m_);
    const auto it = refusals_.find(code);
    return it == refusals_.end() ? std::string() : it->second;
}

int16_t Adapter::disconnect(int16_t id) {
    std::shared_ptr<Client> c;
    std::shared_ptr<DeviceStack> stopping;
    {
        std::lock_guard lock(m_);
        if (id < 0 || id >= kMaxClients || !clients_[id])
            return ERR_INVALID_CLIENT_ID;
        {
            std::lock_guard tableLock(clientsM_);
            c = std::move(clients_[id]);
        }
        Device& d = c->device;
        --d.clientCount;
        --d.perProtocol[static_cast<int>(c->protocol)];
        DeviceStack& s = *c->stack;
        if (c->protocol == Protocol::J1939) {
            s.j1939->run([&](j1939::Engine& e, auto&) {
                std::erase(s.j1939Clients, c);
                c->onBus = false;
                e.release(c->token);
                std::erase_if(s.awaitedSends, [&](const auto& a) { return c->owns(a.first); });
                s.j1939->changed().notify_all(); // a blocked send or claim of this client returns
            });
        } else {
            MessageBus& bus = c->protocol == Protocol::J1708 ? s.j1708 : s.j1850;
            std::lock_guard busLock(bus.m);
            std::erase(bus.clients, c);
            c->onBus = false;
        }
        if (d.clientCount == 0)
            stopping = std::move(d.stack);
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
    // The device's last client: the vehicle stops now, outside every lock;
    // the rest of the stack goes with the last handle on it (normally c).
    if (stopping)
        stopping->vehicle.reset();
    return RP1210_NO_ERRORS;
}

std::shared_ptr<Client> Adapter::find(int16_t id) {
    if (id < 0 || id >= kMaxClients)
        return nullptr;
    // Every call looks its client up: a shared lock of the table alone, so
    // the sender and the reader of a pair never wait on each other here.
    std::shared_lock lock(clientsM_);
    return clients_[id];
}

int16_t Adapter::send(Client& c, const uint8_t* bytes, int length, bool block) {
    if (c.protocol == Protocol::J1939)
        return sendJ1939(c, bytes, length, block);
    if (c.protocol == Protocol::J1708)
        return sendJ1708(c, bytes, length);
    MessagePtr message;
    if (const int err = parseTransmit(c.protocol, bytes, length, message); err != RP1210_NO_ERRORS)
        return static_cast<int16_t>(err);
    MessageBus& bus = c.stack->j1850;
    std::lock_guard lock(bus.m);
    if (!c.onBus)
        return ERR_CLIENT_DISCONNECTED;
    bus.carry(std::move(message), &c);
    return RP1210_NO_ERRORS;
}

int16_t Adapter::sendJ1708(Client& c, const uint8_t* bytes, int length) {
    MessagePtr message;
    if (const int err = parseTransmit(Protocol::J1708, bytes, length, message); err != RP1210_NO_ERRORS)
        return static_cast<int16_t>(err);
    DeviceStack& s = *c.stack;
    std::lock_guard sendLock(s.j1708Send);
    {
        std::lock_guard lock(s.j1708.m);
        if (!c.onBus)
            return ERR_CLIENT_DISCONNECTED;
        s.j1708.carry(message, &c); // the device's own clients
    }
    const auto wire = std::span<const uint8_t>(message->bytes).subspan(kTimestampSize);
    return static_cast<int16_t>(s.links.j1708->send(wire, message->info.priority));
}

int16_t Adapter::sendJ1939(Client& c, const uint8_t* bytes, int length, bool block) {
    J1939Transmit t;
    if (const int err = parseJ1939Transmit(bytes, length, t); err != RP1210_NO_ERRORS)
        return static_cast<int16_t>(err);
    DeviceStack& s = *c.stack;
    J1939Node& node = *s.j1939;
    // A blocking send of a transfer returns when the transfer has ended.
    const bool await = block && t.data.size() > j1939::kMaxSingleFrame;
    j1939::Token origin = 0;
    const int accepted = node.run([&](j1939::Engine& e, auto&) {
        if (!c.onBus)
            return int{ERR_CLIENT_DISCONNECTED};
        origin = c.token | ++c.sendSeq;
        j1939::OutgoingMessage m;
        m.pgn = t.pgn;
        m.priority = t.how & 7;
        m.source = t.source;
        // Bit 7 of the how/priority byte asks for a broadcast (BAM) even of a
        // destination-specific PGN; clear, a message to one address goes by RTS/CTS.
        m.destination = (t.how & 0x80) != 0 ? j1939::kGlobalAddress : t.destination;
        m.data = t.data;
        m.origin = origin;
        m.owner = c.token;
        if (await)
            s.awaitedSends[origin] = -1;
        const int r = e.send(m);
        if (r != 0)
            s.awaitedSends.erase(origin);
        return r;
    });
    if (accepted != 0 || !await)
        return static_cast<int16_t>(accepted);
    return static_cast<int16_t>(node.run([&](j1939::Engine&, std::unique_lock<std::mutex>& lock) {
        const auto it = s.awaitedSends.find(origin);
        if (it == s.awaitedSends.end())
            return int{ERR_CLIENT_DISCONNECTED};
        node.changed().wait(lock, [&] { return it->second >= 0 || !c.onBus; });
        const int result = it->second >= 0 ? it->second : ERR_CLIENT_DISCONNECTED;
        s.awaitedSends.erase(it);
        return result;
    }));
}

int16_t Adapter::claim(Client& c, const uint8_t* b) {
    uint64_t name = 0;
    for (int i = 0; i < 8; ++i)
        name |= uint64_t{b[1 + i]} << (8 * i);
    // The tenth byte: 2 returns at once (the outcome shows in the status),
    // anything else blocks until the claim is settled.
    const bool wait = b[9] != 2;
    J1939Node& node = *c.stack->j1939;
    bool connected = true;
    j1939::ClaimState state = node.run([&](j1939::Engine& e, auto&) {
        connected = c.onBus;
        return connected ? e.claim(c.token, b[0], name) : j1939::ClaimState::None;
    });
    // The Address Claimed frame is on the link now; contention may follow.
    if (connected && wait && state == j1939::ClaimState::Claiming) {
        state = node.run([&](j1939::Engine& e, std::unique_lock<std::mutex>& lock) {
            j1939::ClaimState now = e.claimState(c.token);
            node.changed().wait(lock, [&] {
                now = e.claimState(c.token);
                return now != j1939::ClaimState::Claiming || !c.onBus;
            });
            return now;
        });
    }
    {
        std::lock_guard lock(c.m);
        c.touch();
    }
    if (!connected)
        return ERR_CLIENT_DISCONNECTED;
    switch (state) {
    case j1939::ClaimState::Claimed:
    case j1939::ClaimState::Claiming:
        return RP1210_NO_ERRORS;
    case j1939::ClaimState::None:
        return ERR_CLIENT_DISCONNECTED;
    default:
        return ERR_ADDRESS_CLAIM_FAILED;
    }
}

int16_t Adapter::read(Client& c, char* buffer, int size, bool block) {
    if (buffer == nullptr || size < 0)
        return -ERR_INVALID_COMMAND;
    const ReaderMark reader = markRead();
    SharedMessage frame;
    {
        std::unique_lock lock(c.m);
        if (block && c.connected && c.queue.empty() && !c.overflowPending) {
            // A sender usually follows within microseconds: spin briefly
            // before sleeping, so that neither side pays for a wake-up.
            const uint64_t seen = c.arrivals.load(std::memory_order_relaxed);
            lock.unlock();
            for (int i = 0; i < kReadSpins && c.arrivals.load(std::memory_order_acquire) == seen; ++i)
                cpuRelax();
            lock.lock();
        }
        if (block) {
            ++c.blockedReaders;
            c.touch();
            c.readable.wait(lock, [&] { return !c.connected || !c.queue.empty() || c.overflowPending; });
            --c.blockedReaders;
            c.touch();
        } else if (c.connected && c.queue.empty() && !c.overflowPending && c.emptyRead.bound() > 0) {
            // A caller polling a quiet bus would otherwise spin: wait a short
            // bounded time, and return the moment a message arrives. The
            // status is not touched, so blocking status calls are not woken
            // by every poll.
            const Micros wait = c.emptyRead.waitFor(reader, systemClock().now());
            ++c.blockedReaders;
            c.readable.wait_for(lock, std::chrono::microseconds(wait),
                                [&] { return !c.connected || !c.queue.empty() || c.overflowPending; });
            --c.blockedReaders;
        }
        if (!c.connected)
            return -ERR_CLIENT_DISCONNECTED;
        if (c.queue.empty() && !c.overflowPending) {
            c.emptyRead.returnedEmpty(reader, systemClock().now());
            return 0;
        }
        c.emptyRead.returnedOther();
        if (c.overflowPending) {
            c.overflowPending = false;
            c.touch();
            return -ERR_RX_QUEUE_FULL;
        }
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
    case RP1210_Protect_J1939_Address:
        // Address, NAME (least significant byte first), and the mode byte.
        if (c.protocol != Protocol::J1939 || length != 10 || b[0] >= kNullAddress)
            return ERR_INVALID_COMMAND;
        return claim(c, b);
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
        const bool vehicle = d.stack && d.stack->vehicle;
        s[0] =
            static_cast<char>(1 | (vehicle ? 2 : 0) | (vehicle && d.stack->vehicle->holdsAddress() ? 4 : 0));
        s[1] = static_cast<char>(std::min(d.clientCount, 255));
        s[2] = static_cast<char>(d.perProtocol[1]);
        s[3] = static_cast<char>(d.perProtocol[2]);
        s[4] = static_cast<char>(d.perProtocol[3]);
    }
    s[8] = static_cast<char>(kNullAddress);
    if (c.protocol == Protocol::J1939) {
        uint8_t address = kNullAddress;
        s[9] = static_cast<char>(claimStatusByte(claimStateOf(c, address)));
        s[8] = static_cast<char>(address);
    }
    // The device's CAN link: what its logs lost, and the bus state.
    const DeviceLinks& links = c.stack->links;
    if (links.replay != nullptr)
        putBe32(s + 32, links.replay->skippedLines());
    if (links.recorder != nullptr) {
        const uint64_t lost = links.recorder->droppedFrames() + links.recorder->unwrittenFrames();
        putBe32(s + 36, static_cast<uint32_t>(std::min<uint64_t>(lost, UINT32_MAX)));
    }
    s[40] = static_cast<char>(c.stack->j1939->busState());
    std::memcpy(buffer, s, static_cast<std::size_t>(std::min(size, kStatusSize)));
    return RP1210_NO_ERRORS;
}

} // namespace zt
