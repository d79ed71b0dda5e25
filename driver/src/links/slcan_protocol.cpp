#include "links/slcan_protocol.h"
#include "support/hex.h"

#include <array>

namespace zt::slcan {
namespace {

constexpr std::array<int, 9> kBitrates = {10000,  20000,  50000,  100000, 125000,
                                          250000, 500000, 800000, 1000000};
constexpr char kHex[] = "0123456789ABCDEF";

// Reads count hex digits at pos; false if any is not a hex digit.
bool readHex(const std::string& s, size_t pos, size_t count, uint32_t& value) {
    if (pos + count > s.size())
        return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) {
        const int v = hexValue(s[pos + i]);
        if (v < 0)
            return false;
        value = (value << 4) | static_cast<uint32_t>(v);
    }
    return true;
}

// A frame line: kind letter, id (3 or 8 digits), length digit, data, and an
// optional 4-digit adapter timestamp that we do not use.
bool parseFrame(const std::string& line, bool extended, CanFrame& frame, bool& remote) {
    const size_t idDigits = extended ? 8 : 3;
    uint32_t id = 0;
    uint32_t length = 0;
    if (!readHex(line, 1, idDigits, id) || line.size() < 2 + idDigits)
        return false;
    const char lengthDigit = line[1 + idDigits];
    if (lengthDigit < '0' || lengthDigit > '8')
        return false;
    length = static_cast<uint32_t>(lengthDigit - '0');
    if (id > (extended ? 0x1FFFFFFFu : 0x7FFu))
        return false;
    const size_t dataStart = 2 + idDigits;
    const size_t dataDigits = remote ? 0 : 2 * length;
    const size_t rest = line.size() - dataStart;
    if (rest != dataDigits && rest != dataDigits + 4)
        return false;
    for (size_t i = 0; i < dataDigits / 2; ++i) {
        uint32_t byte = 0;
        if (!readHex(line, dataStart + 2 * i, 2, byte))
            return false;
        frame.data[i] = static_cast<uint8_t>(byte);
    }
    uint32_t stamp = 0;
    if (rest == dataDigits + 4 && !readHex(line, dataStart + dataDigits, 4, stamp))
        return false;
    frame.id = id;
    frame.extended = extended;
    frame.length = static_cast<uint8_t>(length);
    return true;
}

} // namespace

BusState busStateFromStatusFlags(uint8_t flags) {
    if (flags & kStatusBusError)
        return BusState::BusOff;
    if (flags & kStatusErrorPassive)
        return BusState::ErrorPassive;
    if (flags & kStatusErrorWarning)
        return BusState::ErrorWarning;
    return BusState::ErrorActive;
}

void LineParser::finishLine(std::vector<Event>& events) {
    std::string line;
    line.swap(line_);
    if (overlong_) {
        overlong_ = false;
        ++garbage_;
        return;
    }
    Event event;
    if (line.empty()) {
        event.kind = EventKind::Ok;
        events.push_back(event);
        return;
    }
    bool remote = false;
    switch (line[0]) {
    case 'z':
    case 'Z':
        if (line.size() == 1) {
            event.kind = EventKind::TransmitAck;
            events.push_back(event);
            return;
        }
        break;
    case 'F': {
        uint32_t flags = 0;
        if (line.size() == 3 && readHex(line, 1, 2, flags)) {
            event.kind = EventKind::Status;
            event.statusFlags = static_cast<uint8_t>(flags);
            events.push_back(event);
            return;
        }
        break;
    }
    case 't':
    case 'T':
        if (parseFrame(line, line[0] == 'T', event.frame, remote)) {
            event.kind = EventKind::Frame;
            events.push_back(event);
            return;
        }
        break;
    case 'r':
    case 'R':
        remote = true;
        if (parseFrame(line, line[0] == 'R', event.frame, remote)) {
            ++remote_;
            return;
        }
        break;
    default:
        break;
    }
    ++garbage_;
}

void LineParser::feed(std::span<const uint8_t> bytes, std::vector<Event>& events) {
    for (const uint8_t byte : bytes) {
        if (byte == '\r') {
            finishLine(events);
        } else if (byte == '\a') {
            // The adapter's refusal stands alone; a partial line before it is lost.
            if (!line_.empty() || overlong_)
                ++garbage_;
            line_.clear();
            overlong_ = false;
            events.push_back({EventKind::Error, {}, 0});
        } else if (byte == '\n') {
            // Some adapters end lines with "\r\n".
        } else if (line_.size() < kMaxLine) {
            line_.push_back(static_cast<char>(byte));
        } else {
            overlong_ = true;
        }
    }
}

std::string encodeFrame(const CanFrame& frame) {
    std::string out;
    out.reserve(30);
    out.push_back(frame.extended ? 'T' : 't');
    const int idDigits = frame.extended ? 8 : 3;
    const uint32_t id = frame.id & (frame.extended ? 0x1FFFFFFFu : 0x7FFu);
    for (int i = idDigits - 1; i >= 0; --i)
        out.push_back(kHex[(id >> (4 * i)) & 0xF]);
    const uint8_t length = frame.length > 8 ? 8 : frame.length;
    out.push_back(static_cast<char>('0' + length));
    for (uint8_t i = 0; i < length; ++i) {
        out.push_back(kHex[frame.data[i] >> 4]);
        out.push_back(kHex[frame.data[i] & 0xF]);
    }
    out.push_back('\r');
    return out;
}

std::optional<std::string> bitrateCommand(int bitrate) {
    for (size_t i = 0; i < kBitrates.size(); ++i) {
        if (kBitrates[i] == bitrate)
            return "S" + std::to_string(i) + "\r";
    }
    return std::nullopt;
}

} // namespace zt::slcan
