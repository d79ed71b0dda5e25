// The client layer's front: the adapter that hands out client ids and
// carries out the RP1210A calls on clients (client.h) of devices
// (device_stack.h).
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

#include "clients/client.h"
#include "clients/device_stack.h"
#include "config/device_nodes.h"

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
constexpr int kStatusSize = 41;

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
    // CAN log ..."), until a connect succeeds; empty when no link gave a reason.
    std::string refusalText(int code);
    // Why the last connect was refused, whatever its code, until a connect
    // succeeds; empty when the last connect succeeded.
    std::string failedConnectText();

private:
    Adapter() = default;

    int16_t sendJ1939(Client& c, const uint8_t* bytes, int length, bool block);
    int16_t sendJ1708(Client& c, const uint8_t* bytes, int length);
    int16_t claim(Client& c, const uint8_t* bytes);
    int16_t applyCommand(Client& c, int number, const uint8_t* bytes, int length);
    // Remembers why a connect is refused and returns its code.
    int16_t refuse(int code, std::string why);

    std::mutex m_;
    std::map<int, std::unique_ptr<Device>> devices_;
    // Written under m_ and clientsM_, read under either.
    std::shared_mutex clientsM_;
    std::array<std::shared_ptr<Client>, kMaxClients> clients_;
    int next_ = 0;
    uint32_t nextToken_ = 0;
    std::map<int, std::string> refusals_; // code -> text of the last refused connect
    std::string failedConnect_;           // the cause of the last refused connect
    DeviceNodesFactory nodesFactory_;     // guarded by m_
};

} // namespace zt
