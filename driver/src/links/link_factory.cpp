#include "links/link_factory.h"

#include "links/real_links.h"
#include "links/recording_link.h"
#include "links/replay_link.h"
#include "links/virtual_can.h"
#include "links/virtual_j1708.h"

#include <rp1210a/rp1210a.h>

namespace zt {
namespace {

std::string kindOf(const std::string& value) {
    return value.substr(0, value.find(':'));
}

std::string targetOf(const std::string& value) {
    const auto colon = value.find(':');
    return colon == std::string::npos ? std::string() : value.substr(colon + 1);
}

std::string resolved(const std::string& path, const std::string& folder) {
    return path.empty() || path.front() == '/' || folder.empty() ? path : folder + "/" + path;
}

} // namespace

DeviceLinks makeDeviceLinks(int deviceId, const LinkSettings& settings, Clock& clock) {
    DeviceLinks links;
    const std::string name = std::to_string(deviceId);

    const std::string canKind = kindOf(settings.can);
    if (canKind == "virtual" || canKind.empty()) {
        auto bus = std::make_shared<VirtualCanBus>(name, clock, settings.paced ? settings.canBitrate : 0);
        links.can = bus->attach();
        links.attachCan = [bus] { return bus->attach(); };
    } else if (canKind == "replay") {
        auto replay =
            std::make_unique<ReplayLink>(ReplayOptions{resolved(targetOf(settings.can), settings.folder),
                                                       settings.replayLoop, settings.replaySpeed, &clock,
                                                       /*waitForStart=*/true});
        links.replay = replay.get();
        links.can = std::move(replay);
    } else if (!(links.can = makeRealCanLink(settings.can, settings.canBitrate, links.error))) {
        return links;
    }

    if (!settings.record.empty()) {
        auto recorder = std::make_unique<RecordingLink>(
            std::move(links.can), RecordingOptions{.folder = resolved(settings.record, settings.folder),
                                                   .filePrefix = "zt-" + name,
                                                   .interfaceName = "vcan" + name,
                                                   .clock = &clock});
        links.recorder = recorder.get();
        links.can = std::move(recorder);
    }

    const std::string j1708Kind = kindOf(settings.j1708);
    if (j1708Kind == "virtual" || j1708Kind.empty()) {
        auto bus = std::make_shared<VirtualJ1708Bus>(name, clock);
        links.j1708 = bus->attach();
        links.attachJ1708 = [bus] { return bus->attach(); };
    } else if (!(links.j1708 = makeRealJ1708Link(settings.j1708, settings.j1708Echo, links.error))) {
        return links;
    }
    return links;
}

} // namespace zt
