// The devices and protocols the adapter offers, read from ZT121032.ini.
#pragma once

#include "links/link_factory.h"
#include "support/protocol.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zt {

// What simulated nodes a device carries (ini key SimulatedVehicle: Yes, Busy
// or No).
enum class Simulation : uint8_t { None, Truck, BusyTruck };

struct DeviceEntry {
    int id = 0;
    std::string description;
    Simulation simulation = Simulation::None;
    LinkSettings links;                               // CAN, CANBitrate, Paced, J1708
    bool protocols[4] = {false, false, false, false}; // indexed by Protocol

    bool supports(Protocol p) const { return protocols[static_cast<int>(p)]; }
};

// The longest a non-blocking read that finds nothing queued waits for a
// message before it returns 0, so a reader polling a quiet bus does not spin.
// Only a caller that polls one client back to back waits this long; others
// wait at most a millisecond.
constexpr int64_t kEmptyReadWaitMicrosDefault = 20000;
constexpr int64_t kEmptyReadWaitMicrosMax = 10000000;

struct DeviceTable {
    std::vector<DeviceEntry> devices;
    bool fromFile = false;
    int64_t emptyReadWaitMicros =
        kEmptyReadWaitMicrosDefault; // [VendorInformation] EmptyReadWaitMicroseconds

    const DeviceEntry* find(int id) const;
};

// Device 101 "Virtual vehicle" with the simulated truck, device 102 "Quiet
// bus", both offering J1708, J1850 and J1939, and device 104 "Busy truck"
// (J1939 only): the same as the ini file shipped with the driver.
DeviceTable builtInDevices();

// Parses the ini text. A text that names no device gives an empty table.
DeviceTable parseDeviceTable(const std::string& text);

// Reads the ini file beside the loaded library; when it is missing,
// unreadable or names no device, the built-in table stands in.
DeviceTable loadDeviceTable();

// The protocol named by an RP1210A protocol string, or 0 when unknown.
int protocolFromName(const char* name);

} // namespace zt
