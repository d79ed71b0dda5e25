#pragma once
// J1708/J1587 messages split into their parameters, and the diagnostic
// codes of PID 194.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace decode {

struct J1587Parameter {
    uint16_t pid = 0;              // 256 and above: page 2 (after PID 255)
    std::span<const uint8_t> data; // for variable-length PIDs without the length byte
    bool complete = true;          // false: the message ended inside this parameter
};

// The bytes after the MID (no checksum): PIDs 0-127 carry one data byte,
// 128-191 two, 192-253 and 254 a length byte then that many; 255 makes the
// next byte a page-2 PID of the same ranges. Stops at the first parameter
// that does not fit, which is listed as incomplete.
std::vector<J1587Parameter> splitJ1587(std::span<const uint8_t> afterMid);

inline constexpr uint16_t kJ1587PidDiagnosticCodes = 194;

struct J1587Dtc {
    uint16_t pidOrSid = 0; // 256 and above: page-2 PID
    bool isSid = false;
    bool active = true;
    uint8_t fmi = 0; // 4 bits
    std::optional<uint8_t> occurrenceCount;
};

// PID 194's data (after its length byte): per code the PID or SID, the
// diagnostic code character, and the occurrence count when flagged.
std::vector<J1587Dtc> decodeJ1587Dtcs(std::span<const uint8_t> data);
// The J1587 failure mode's meaning, "" outside 0..15.
std::string_view j1587FmiText(uint8_t fmi);

} // namespace decode
