// Makes the links to real buses from a device's ini values:
//   CAN=socketcan:can0
//   CAN=slcan:/dev/ttyACM0        (CAN=slcan:/dev/ttyUSB0@115200 for a UART's baud rate)
//   J1708=serial:/dev/ttyUSB0     (J1708Echo=No for an adapter that does not hear its own sends)
// The links open later, at the device's first client connect.
#pragma once

#include "links/link.h"

#include <cstdint>
#include <memory>
#include <string>

namespace zt {

// Null with error set when the value names no real CAN link or lacks its target.
std::unique_ptr<CanLink> makeRealCanLink(const std::string& value, int64_t bitrate, LinkError& error);
std::unique_ptr<J1708Link> makeRealJ1708Link(const std::string& value, J1708Echo echo, LinkError& error);

} // namespace zt
