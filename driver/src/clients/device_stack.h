// What a device has while it has clients: its links, the J1708 and J1850
// buses of its clients, the J1939 node its J1939 clients share, and its
// simulated nodes.
#pragma once

#include "clients/client.h"
#include "clients/j1939_node.h"
#include "config/device_nodes.h"
#include "links/link_factory.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zt {

struct DeviceEntry;

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

// Builds the device's links, its J1939 node and, when asked, the vehicle.
// Returns nullptr and the error when a setting is unusable or a link does
// not open.
std::shared_ptr<DeviceStack> makeStack(int deviceId, const DeviceEntry& entry,
                                       const DeviceNodesFactory& nodes, LinkError& error);

} // namespace zt
