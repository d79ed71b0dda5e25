// The serial-line CAN (Lawicel ASCII) protocol without any I/O: a parser that
// turns bytes arriving in arbitrary chunks into adapter answers and frames,
// and the encoders of the commands the link sends.
#pragma once

#include "links/link.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zt::slcan {

enum class EventKind : uint8_t {
    Ok,          // "\r": the last command was accepted
    Error,       // "\a": the last command was refused
    TransmitAck, // "z\r" / "Z\r": a standard / extended frame was queued
    Frame,       // "t..." / "T...": a received data frame
    Status,      // "Fxx\r": the status flags
};

struct Event {
    EventKind kind = EventKind::Ok;
    CanFrame frame;          // Frame
    uint8_t statusFlags = 0; // Status
};

// Status flag bits of the "F" answer.
constexpr uint8_t kStatusErrorWarning = 0x04;
constexpr uint8_t kStatusErrorPassive = 0x20;
constexpr uint8_t kStatusBusError = 0x80;

BusState busStateFromStatusFlags(uint8_t flags);

class LineParser {
public:
    // Longest line kept; anything longer is garbage up to its "\r".
    static constexpr size_t kMaxLine = 64;

    // Parses the bytes and appends every complete answer or frame to events.
    // Frames carry no timestamp; the caller stamps them.
    void feed(std::span<const uint8_t> bytes, std::vector<Event>& events);

    uint64_t garbageLines() const { return garbage_; }
    uint64_t remoteFrames() const { return remote_; }

private:
    void finishLine(std::vector<Event>& events);

    std::string line_;
    bool overlong_ = false;
    uint64_t garbage_ = 0;
    uint64_t remote_ = 0;
};

// "T18FEF100" "8" "1122334455667788" "\r" for an extended frame, "t" for a
// standard one.
std::string encodeFrame(const CanFrame& frame);
// "S5\r" for 250000; nothing when the adapter offers no such bit rate.
std::optional<std::string> bitrateCommand(int bitrate);

} // namespace zt::slcan
