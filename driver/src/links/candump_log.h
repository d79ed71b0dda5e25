// The candump log format, one CAN frame a line, as the Linux CAN tools write
// and read it:
//   (1436509052.249713) can0 18FEF100#FFF015FFFFFFFFFF
// A timestamp in seconds since 1970 with microseconds, the interface name, and
// the frame: 3 hex digits of a standard or 8 of an extended identifier, '#',
// and 0 to 8 data bytes in hex. Pure functions, no I/O.
#pragma once

#include "links/link.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace zt::candump {

enum class LineKind : uint8_t {
    Frame,   // a classic CAN data frame, in ParsedLine::frame
    Empty,   // nothing but white space: ignored, not counted
    CanFd,   // a CAN FD frame ("##"): not carried, skipped and counted
    Remote,  // a remote frame ("#R"): not carried, skipped and counted
    Invalid, // anything else: skipped and counted
};

struct ParsedLine {
    LineKind kind = LineKind::Invalid;
    Micros time = 0;            // microseconds since 1970
    std::string_view interface; // a view into the parsed line
    CanFrame frame;             // timestamp left 0
};

// Parses one line without its newline (a trailing '\r' is accepted). A
// trailing direction marker " R" or " T" is accepted and ignored.
ParsedLine parseLine(std::string_view line);

// The longest line formatLine() writes, without its newline.
constexpr size_t kMaxFormattedLine = 96;

// Writes the frame as one line with its newline into out (at least
// kMaxFormattedLine + 1 bytes) and returns the length written. time is in
// microseconds since 1970; the interface name is cut to 32 characters.
size_t formatLine(char* out, const CanFrame& frame, Micros time, std::string_view interface);

std::string formatLine(const CanFrame& frame, Micros time, std::string_view interface);

} // namespace zt::candump
