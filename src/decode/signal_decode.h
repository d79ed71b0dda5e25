#pragma once
// Signal values from frame bytes: Intel and Motorola bit layouts, signed
// raws, factor and offset, value tables, multiplexing, and the J1939 rule
// that raws in the "error indicator" and "not available" ranges are no
// numbers.

#include "decode/dbc.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace decode {

enum class Availability : uint8_t { Valid, Error, NotAvailable };

struct DecodedSignal {
    const SignalDef* def = nullptr;
    uint64_t raw = 0; // the bits as read, not sign-extended
    double value = 0.0;
    Availability availability = Availability::Valid;
    std::string_view valueText; // from the value table, empty when none
};

// The raw bits of a signal; bits past the end of data read as 0.
uint64_t extractRaw(const SignalDef& signal, std::span<const uint8_t> data);
// Whether the signal lies wholly within data.
bool fitsIn(const SignalDef& signal, std::size_t bytes);
// The raw sign-extended for a signed signal.
int64_t rawAsInteger(const SignalDef& signal, uint64_t raw);
// J1939 ranges by signal length: 2 bits 10/11, 4 bits 1110/1111, 8 bits and
// more by the top byte 0xFE/0xFF.
Availability j1939Availability(uint16_t length, uint64_t raw);

DecodedSignal decodeSignal(const SignalDef& signal, std::span<const uint8_t> data, bool j1939Ranges);
// Appends the message's signals present in data (only the multiplexed ones
// the multiplexor selects) to out; out is not cleared.
void decodeMessage(const MessageDef& message, std::span<const uint8_t> data, std::vector<DecodedSignal>& out);

// "error", "n/a", the value table's text, or the number with its unit;
// the same in every locale.
std::string formatValue(const DecodedSignal& signal);
// The number alone, shortest round-trip form limited to sensible digits.
std::string formatNumber(double value);

} // namespace decode
