// The in-process J1708 link: whole messages between the nodes of one device
// (its clients, the simulated vehicle), unpaced.
#pragma once

#include "links/link.h"
#include "links/virtual_bus.h"

#include <memory>
#include <string>

namespace zt {

class VirtualJ1708Bus : public std::enable_shared_from_this<VirtualJ1708Bus> {
public:
    VirtualJ1708Bus(std::string name, Clock& clock);

    std::unique_ptr<J1708Link> attach();
    VirtualBus<J1708Message>& bus() { return bus_; }
    const std::string& name() const { return name_; }

private:
    const std::string name_;
    VirtualBus<J1708Message> bus_;
};

} // namespace zt
