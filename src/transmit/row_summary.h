#pragma once
// The summary line a transmit row shows for its message.

#include <cstdint>
#include <string>

namespace transmit {

// Longest summary kept (the text of a 256-character buffer).
inline constexpr size_t kSummaryMax = 255;

// "TXJ1708  %02X  %02X  " with the MID and the PID.
std::string summaryHead1708(uint8_t mid, uint8_t pid);
// "TXJ1850  %06s  " with the builder's identifier text (zero-padded on the left).
std::string summaryHead1850(const std::string& identifierText);
// "TXJ1939  %08s  " with the builder's identifier text (zero-padded on the left).
std::string summaryHead1939(const std::string& identifierText);

// Appends each data value with "%s  %02X" (three digits for a value above
// 255); the result is cut to kSummaryMax characters.
std::string appendDataSummary(std::string text, const uint16_t* values, int count);

} // namespace transmit
