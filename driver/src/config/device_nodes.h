// Nodes of their own on a device's in-process links, such as a simulated
// vehicle. The client layer makes them through a factory it is handed, so it
// needs to know nothing of what they are.
#pragma once

#include "config/device_table.h"
#include "links/link.h"
#include "support/clock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace zt {

class DeviceNodes {
public:
    virtual ~DeviceNodes() = default;
    // The node that stands for the device's vehicle holds its J1939 address
    // (the hardware status reports it).
    virtual bool holdsAddress() const = 0;
};

// Where the nodes reach the device: further nodes on its CAN and J1708 links,
// and the J1850 bus, to which a node hands whole messages.
struct DeviceNodeLinks {
    Clock* clock = nullptr;
    std::function<std::unique_ptr<CanLink>()> attachCan;
    std::function<std::unique_ptr<J1708Link>()> attachJ1708;
    std::function<void(uint8_t header, uint8_t target, uint8_t source, std::span<const uint8_t> data)> j1850;
};

// Makes the nodes an ini entry asks for; nullptr when it asks for none.
using DeviceNodesFactory =
    std::function<std::unique_ptr<DeviceNodes>(const DeviceEntry& entry, DeviceNodeLinks links)>;

} // namespace zt
