// The virtual adapter: clients, one bus per device and protocol, receive
// queues with their filters, and J1939 address arbitration.
//
// Locking, always taken in this order and never the other way round:
//   Adapter::m_  (client table, device bookkeeping)
//   Bus::m       (the bus's subscribers, claims and engine state; held while a
//                 message is carried, so every receiver sees one order)
//   Client::m    (one client's queue and settings)
#pragma once

#include "frames.h"
#include "support/clock.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zt {

constexpr int kMaxClients = 64;
constexpr std::size_t kQueueMessages = 8192;
constexpr std::size_t kQueueBytesDefault = 8u * 1024u * 1024u;
constexpr std::size_t kMaxJ1939Filters = 1024;
constexpr int kStatusSize = 32;

// Milliseconds since the library was loaded; the receive timestamps.
uint32_t nowMs();

enum class FilterMode : uint8_t { PassAll = 0, DiscardAll = 1, Selected = 2 };

struct J1939Filter {
    uint8_t flags = 0;
    uint32_t pgn = 0;
    uint8_t priority = 0;
    uint8_t source = 0;
    uint8_t destination = 0;

    bool matches(const FrameInfo& m) const;
    bool operator==(const J1939Filter&) const = default;
};

// Parses one 7-byte filter record: flags, PGN (least significant first),
// priority, source, destination.
J1939Filter parseJ1939Filter(const uint8_t* record);

class Bus;
struct Device;
class Vehicle;

struct Client {
    Client(int16_t id, Protocol protocol, Device& device, Bus& bus, std::size_t maxBytes)
        : id(id), protocol(protocol), device(device), bus(bus), maxBytes(maxBytes) {}

    const int16_t id;
    const Protocol protocol;
    Device& device;
    Bus& bus;
    const std::size_t maxBytes;

    bool onBus = false; // guarded by bus.m

    std::mutex m;
    std::condition_variable readable;
    std::condition_variable statusChanged;
    // Everything below is guarded by m.
    bool connected = true;
    bool receiveOn = true;
    bool echoOn = false;
    FilterMode mode = FilterMode::DiscardAll;
    std::vector<J1939Filter> j1939Filters;
    std::array<bool, 256> mids{};
    std::deque<SharedFrame> queue;
    std::size_t queuedBytes = 0;
    uint32_t queued = 0;
    uint32_t overflowed = 0;
    uint32_t tooLong = 0;
    bool overflowPending = false;
    int blockedReaders = 0;   // blocking reads, and non-blocking ones in their empty-read wait
    Micros emptyReadWait = 0; // how long a non-blocking read waits for a message
    int statusWaiters = 0;
    uint64_t version = 0; // bumped on every change the status shows

    // Offers a message carried by the bus; own is true for the client's own
    // transmission. Takes m.
    void offer(const SharedFrame& frame, bool own);
    void touch();                             // m held
    bool passes(const FrameInfo& info) const; // m held
};

enum class ClaimState : uint8_t { None = 0, Claimed = 1, Lost = 2, Failed = 3 };

struct Claim {
    const Client* client = nullptr; // nullptr: the simulated engine
    uint64_t name = 0;
};

struct ClientClaim {
    uint8_t address = kNullAddress;
    uint64_t name = 0;
    ClaimState state = ClaimState::None;
};

// The simulated engine's J1939 side, driven from the bus so that its answers
// to requests come in bus order right after the request.
struct EngineEcu {
    bool present = false;
    uint8_t address = 0;
    uint64_t name = 0;
    uint32_t startMs = 0;
};

class Bus {
public:
    explicit Bus(Protocol protocol) : protocol(protocol) {}

    const Protocol protocol;
    std::mutex m;
    // Everything below is guarded by m; the member functions expect m held.
    std::vector<std::shared_ptr<Client>> clients;
    std::map<uint8_t, Claim> claims;
    std::map<const Client*, ClientClaim> clientClaims;
    EngineEcu engine;
    uint64_t carried = 0;

    // Stamps the frame and hands it to every client; sender may be nullptr.
    void carry(FramePtr frame, const Client* sender);
    // Sends a client's J1939 frame and lets the bus's nodes react to it.
    void transmit(FramePtr frame, const Client* sender);
    // Arbitrates a claim of address by holder (nullptr: the engine).
    bool claim(const Client* holder, uint8_t address, uint64_t name);
    // Gives up a client's address; the engine takes its own back if it lost it.
    void release(const Client* client);
    bool engineHoldsAddress() const;
    void startEngine(uint32_t startMs);
    void stopEngine();

private:
    void sendClaimed(uint8_t address, uint64_t name, const Client* sender);
    void sendCannotClaim(uint64_t name, const Client* sender);
    void answerRequest(const Frame& request);
};

struct Device {
    explicit Device(int id);
    ~Device();

    const int id;
    Bus j1708{Protocol::J1708};
    Bus j1850{Protocol::J1850};
    Bus j1939{Protocol::J1939};

    Bus& bus(Protocol p) { return p == Protocol::J1708 ? j1708 : p == Protocol::J1850 ? j1850 : j1939; }

    // Guarded by Adapter::m_.
    std::string description;
    bool simulatedVehicle = false;
    int clientCount = 0;
    int perProtocol[4] = {0, 0, 0, 0};
    std::unique_ptr<Vehicle> vehicle;
};

class Adapter {
public:
    static Adapter& instance();
    ~Adapter();

    int16_t connect(int deviceId, const char* protocol, int32_t receiveBufferSize);
    int16_t disconnect(int16_t id);
    std::shared_ptr<Client> find(int16_t id);

    int16_t send(Client& c, const uint8_t* bytes, int length);
    int16_t read(Client& c, char* buffer, int size, bool block);
    int16_t command(Client& c, int number, const uint8_t* bytes, int length);
    int16_t status(Client& c, char* buffer, int size, bool block);

private:
    Adapter() = default;

    std::mutex m_;
    std::map<int, std::unique_ptr<Device>> devices_;
    std::array<std::shared_ptr<Client>, kMaxClients> clients_;
    int next_ = 0;
};

} // namespace zt
