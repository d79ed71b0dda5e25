// The client layer: clients with their receive queues and filters, the
// devices they share, and the adapter that hands out client ids.
//
// A device, while it has clients, has a DeviceStack: its links (made from
// the ini keys), the J1708 and J1850 clients, the J1939 node (engine, outbox,
// timer thread) shared by its J1939 clients, and the simulated vehicle as a
// separate node on the same links.
//
// Locking, always taken in this order and never the other way round:
//   Adapter::m_            the client table, device bookkeeping
//   DeviceStack::j1708Send one J1708 sender at a time, so the link sees the
//                          device's order
//   J1939Node::flush_      (the same for CAN frames)
//   a link's lock          a virtual bus delivers to the other nodes under it
//   MessageBus::m          the clients of one protocol (J1708, J1850), held
//   J1939Node::m_          while a message is offered to them, so every
//                          receiver sees a bus's messages in one order; the
//                          J1939 node's mutex also guards its engine
//   the device nodes' own  (the simulated vehicle's queue of requests to
//   locks                  answer)
//   Client::m              one client's queue and settings
//   Adapter::clientsM_     the client table (taken alone by find())
// No call into a link is made while a bus, node or client mutex is held.
#pragma once

#include "clients/empty_read_wait.h"
#include "clients/j1939_node.h"
#include "clients/messages.h"
#include "config/device_nodes.h"
#include "links/link_factory.h"
#include "support/clock.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

namespace zt {

constexpr int kMaxClients = 64;
constexpr std::size_t kQueueMessages = 8192;
constexpr std::size_t kQueueBytesDefault = 8u * 1024u * 1024u;
constexpr std::size_t kMaxJ1939Filters = 1024;
constexpr int kStatusSize = 41;

enum class FilterMode : uint8_t { PassAll = 0, DiscardAll = 1, Selected = 2 };

struct J1939Filter {
    uint8_t flags = 0;
    uint32_t pgn = 0;
    uint8_t priority = 0;
    uint8_t source = 0;
    uint8_t destination = 0;

    bool matches(const MessageInfo& m) const;
    bool operator==(const J1939Filter&) const = default;
};

// Parses one 7-byte filter record: flags, PGN (least significant first),
// priority, source, destination.
J1939Filter parseJ1939Filter(const uint8_t* record);

struct Device;
struct DeviceStack;

struct Client {
    Client(int16_t id, Protocol protocol, Device& device, std::shared_ptr<DeviceStack> stack,
           std::size_t maxBytes, j1939::Token token)
        : id(id), protocol(protocol), device(device), stack(std::move(stack)), maxBytes(maxBytes),
          token(token) {}

    const int16_t id;
    const Protocol protocol;
    Device& device;
    const std::shared_ptr<DeviceStack> stack;
    const std::size_t maxBytes;
    // The J1939 claim owner; the origins of its sends carry it in their high
    // 32 bits, so the echo rule knows a client's own messages.
    const j1939::Token token;

    bool onBus = false;   // guarded by the protocol's bus (or the J1939 node's) mutex
    uint32_t sendSeq = 0; // guarded by the J1939 node's mutex

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
    std::deque<SharedMessage> queue;
    std::size_t queuedBytes = 0;
    uint32_t queued = 0;
    std::atomic<uint64_t> arrivals{0}; // written under m; a spinning reader peeks without it
    uint32_t overflowed = 0;
    uint32_t tooLong = 0;
    bool overflowPending = false;
    int blockedReaders = 0;  // blocking reads, and non-blocking ones in their empty-read wait
    EmptyReadWait emptyRead; // how long a non-blocking read waits for a message
    int statusWaiters = 0;
    uint64_t version = 0; // bumped on every change the status shows

    // Offers a message carried by the bus; own is true for the client's own
    // transmission. Takes m.
    void offer(const SharedMessage& message, bool own);
    void touch();                               // m held
    bool passes(const MessageInfo& info) const; // m held
    bool owns(j1939::Token origin) const { return origin != 0 && (origin >> 32) == (token >> 32); }
};

// The clients of one protocol on a device whose messages travel whole.
struct MessageBus {
    std::mutex m;
    std::vector<std::shared_ptr<Client>> clients; // guarded by m
    // Stamps the message and offers it to every client; m held.
    void carry(MessagePtr message, const Client* sender);
};

struct DeviceStack {
    DeviceLinks links;
    MessageBus j1708;
    MessageBus j1850;
    std::mutex j1708Send;
    // Guarded by the J1939 node's mutex.
    std::vector<std::shared_ptr<Client>> j1939Clients;
    std::map<j1939::Token, int> awaitedSends; // origin -> result, -1 while under way
    std::unique_ptr<J1939Node> j1939;
    std::unique_ptr<DeviceNodes> vehicle; // declared last: stops first

    ~DeviceStack();
};

struct Device {
    explicit Device(int id) : id(id) {}

    const int id;
    // Guarded by Adapter::m_.
    std::string description;
    int clientCount = 0;
    int perProtocol[4] = {0, 0, 0, 0};
    std::shared_ptr<DeviceStack> stack; // while the device has clients
};

class Adapter {
public:
    static Adapter& instance();
    ~Adapter();

    // Makes the nodes (the simulated vehicle) of a device whose stack opens;
    // without it a device has none.
    void setDeviceNodesFactory(DeviceNodesFactory factory);

    int16_t connect(int deviceId, const char* protocol, int32_t receiveBufferSize);
    int16_t disconnect(int16_t id);
    std::shared_ptr<Client> find(int16_t id);

    int16_t send(Client& c, const uint8_t* bytes, int length, bool block);
    int16_t read(Client& c, char* buffer, int size, bool block);
    int16_t command(Client& c, int number, const uint8_t* bytes, int length);
    int16_t status(Client& c, char* buffer, int size, bool block);
    // Why the last connect refused with this code failed ("cannot play the
    // CAN log ..."), until a device opens; empty when no link gave a reason.
    std::string refusalText(int code);

private:
    Adapter() = default;

    int16_t sendJ1939(Client& c, const uint8_t* bytes, int length, bool block);
    int16_t sendJ1708(Client& c, const uint8_t* bytes, int length);
    int16_t claim(Client& c, const uint8_t* bytes);

    std::mutex m_;
    std::map<int, std::unique_ptr<Device>> devices_;
    // Written under m_ and clientsM_, read under either.
    std::shared_mutex clientsM_;
    std::array<std::shared_ptr<Client>, kMaxClients> clients_;
    int next_ = 0;
    uint32_t nextToken_ = 0;
    std::map<int, std::string> refusals_; // code -> text of the last refused connect
    DeviceNodesFactory nodesFactory_;     // guarded by m_
};

} // namespace zt
