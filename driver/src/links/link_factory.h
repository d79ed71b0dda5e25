// Makes a device's links from its ini keys. Each kind of link is one branch
// of makeDeviceLinks: `CAN=virtual` (the default) is the in-process bus,
// paced when `Paced=Yes` at `CANBitrate` bits per second; `CAN=replay:<log>`
// plays a candump log (`ReplayLoop`, `ReplaySpeed`). `Record=<folder>` wraps
// the device's CAN link in a recorder.
#pragma once

#include "links/link.h"

#include <functional>
#include <memory>
#include <string>

namespace zt {

class ReplayLink;
class RecordingLink;

struct LinkSettings {
    std::string can = "virtual"; // CAN=kind[:target]
    int64_t canBitrate = 250000; // CANBitrate
    bool paced = false;          // Paced
    std::string j1708 = "virtual";
    J1708Echo j1708Echo = J1708Echo::Detect; // J1708Echo
    bool replayLoop = false;                 // ReplayLoop
    double replaySpeed = 1.0;                // ReplaySpeed; 0 unpaced
    std::string record;                      // Record: a folder, empty for none
    std::string folder;                      // relative paths start here (the library's folder)
};

struct DeviceLinks {
    std::unique_ptr<CanLink> can;     // the device's clients' node
    std::unique_ptr<J1708Link> j1708; // the device's clients' node
    // Further nodes on the same in-process buses (the simulated vehicle);
    // empty for links to real buses.
    std::function<std::unique_ptr<CanLink>()> attachCan;
    std::function<std::unique_ptr<J1708Link>()> attachJ1708;
    LinkError error;
    // The log links inside `can`, for the hardware status (and to start the
    // replay when a client listens); null when absent.
    // They live as long as `can` does.
    ReplayLink* replay = nullptr;
    const RecordingLink* recorder = nullptr;
};

DeviceLinks makeDeviceLinks(int deviceId, const LinkSettings& settings, Clock& clock);

} // namespace zt
