// The in-process CAN link: the nodes of one device (its clients' J1939 stack,
// the simulated vehicle) share a VirtualCanBus. Paced at a bit rate, a frame
// occupies the bus for its nominal bit count (no stuff bits), so the times are
// the least a real bus would need.
#pragma once

#include "links/link.h"
#include "links/virtual_bus.h"

#include <memory>
#include <string>

namespace zt {

// Nominal bits of a data frame with n data bytes, from start of frame to the
// end of the interframe space: 67 + 8n with a 29-bit id, 47 + 8n with 11 bits.
int canFrameBits(const CanFrame& frame);
Micros canWireTime(const CanFrame& frame, int64_t bitrate);

class VirtualCanBus : public std::enable_shared_from_this<VirtualCanBus> {
public:
    // bitrate 0: unpaced, a frame is delivered on the sender's thread.
    VirtualCanBus(std::string name, Clock& clock, int64_t bitrate, bool runThread = true);

    // A new node on this bus; the link keeps the bus alive.
    std::unique_ptr<CanLink> attach();
    VirtualBus<CanFrame>& bus() { return bus_; }
    const std::string& name() const { return name_; }
    bool paced() const { return paced_; }

private:
    const std::string name_;
    const bool paced_;
    VirtualBus<CanFrame> bus_;
};

} // namespace zt
