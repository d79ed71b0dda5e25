#include "links/real_links.h"

#include "links/j1708_serial_link.h"
#include "links/slcan_link.h"
#include "links/socketcan_link.h"

#include <rp1210a/rp1210a.h>

#include <charconv>

namespace zt {
namespace {

struct KindAndTarget {
    std::string kind;
    std::string target;
    int baud = 0; // from a "@baud" suffix, 0 if none
};

KindAndTarget split(const std::string& value) {
    KindAndTarget out;
    const size_t colon = value.find(':');
    out.kind = value.substr(0, colon);
    if (colon == std::string::npos)
        return out;
    out.target = value.substr(colon + 1);
    const size_t at = out.target.rfind('@');
    if (at != std::string::npos) {
        int baud = 0;
        const char* first = out.target.data() + at + 1;
        const char* last = out.target.data() + out.target.size();
        const auto [end, ec] = std::from_chars(first, last, baud);
        if (ec == std::errc() && end == last && baud > 0) {
            out.baud = baud;
            out.target.resize(at);
        }
    }
    return out;
}

LinkError missingTarget(const std::string& key, const std::string& kind, const char* example) {
    return {ERR_INVALID_DEVICE,
            key + "=" + kind + " needs a target, e.g. " + key + "=" + kind + ":" + example};
}

} // namespace

std::unique_ptr<CanLink> makeRealCanLink(const std::string& value, int64_t bitrate, LinkError& error) {
    const KindAndTarget v = split(value);
    if (v.kind == "socketcan") {
        if (v.target.empty()) {
            error = missingTarget("CAN", v.kind, "can0");
            return nullptr;
        }
        SocketCanOptions options;
        options.bitrate = static_cast<int>(bitrate);
        return std::make_unique<SocketCanLink>(v.target, options);
    }
    if (v.kind == "slcan") {
        if (v.target.empty()) {
            error = missingTarget("CAN", v.kind, "/dev/ttyACM0");
            return nullptr;
        }
        SlcanOptions options;
        options.bitrate = static_cast<int>(bitrate);
        if (v.baud > 0)
            options.baud = v.baud;
        return std::make_unique<SlcanLink>(v.target, options);
    }
    error = {ERR_INVALID_DEVICE, "unknown CAN link \"" + value + "\""};
    return nullptr;
}

std::unique_ptr<J1708Link> makeRealJ1708Link(const std::string& value, J1708Echo echo, LinkError& error) {
    const KindAndTarget v = split(value);
    if (v.kind == "serial") {
        if (v.target.empty()) {
            error = missingTarget("J1708", v.kind, "/dev/ttyUSB0");
            return nullptr;
        }
        J1708SerialOptions options;
        options.echo = echo;
        if (v.baud > 0)
            options.baud = v.baud;
        return std::make_unique<J1708SerialLink>(v.target, options);
    }
    error = {ERR_INVALID_DEVICE, "unknown J1708 link \"" + value + "\""};
    return nullptr;
}

} // namespace zt
