// A client: its receive queue, filters and echo, and the bus that offers a
// protocol's messages to the clients of one device.
#pragma once

#include "clients/empty_read_wait.h"
#include "clients/j1939_filter.h"
#include "clients/messages.h"
#include "j1939/engine.h"
#include "support/protocol.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace zt {

constexpr std::size_t kQueueMessages = 8192;
constexpr std::size_t kQueueBytesDefault = 8u * 1024u * 1024u;

enum class FilterMode : uint8_t { PassAll = 0, DiscardAll = 1, Selected = 2 };

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

} // namespace zt
