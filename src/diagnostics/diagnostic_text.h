#pragma once
// The words the Diagnostics window and its report show for what the network
// model holds: NAMEs, lamps, trouble codes, identification strings, clear
// answers. Plain text, shared by the tables and the HTML report.

#include "decode/builtin.h"
#include "diagnostics/network_model.h"

#include <functional>
#include <string>
#include <vector>

namespace diagnostics {

// An SPN's name from the loaded signal databases, or empty.
using SpnNameLookup = std::function<std::string(uint32_t spn)>;

std::string hexByte(uint8_t value); // "0x1F"
std::string nameHex(uint64_t name); // 16 upper-case hexadecimal digits
// "manufacturer 11, function 129, vehicle system 0, ECU instance 0,
// industry group 0, arbitrary address capable: no"
std::string nameDescription(uint64_t name);

struct LampWords {
    const char* caption; // "MIL", "Red stop", "Amber warning", "Protect"
    std::string state;   // "off", "on", "flashing slow", "flashing fast", "error", "not available"
    const char* colour;  // a CSS colour for the state: grey when off, the lamp's own when lit
};
std::vector<LampWords> lampWords(const decode::Lamps& lamps);
// The lit lamps in one line, "MIL on, Amber warning flashing slow", or "all off".
std::string lampSummary(const decode::Lamps& lamps);

// The SPN with its name when the lookup knows one: "110 Engine Coolant Temperature".
std::string spnText(uint32_t spn, const SpnNameLookup& lookup);
// "16 Data valid but above normal operating range - moderately severe level"
std::string fmiWords(uint8_t fmi);

// The fields of an identification string joined with " / ", or "" when
// never received ("(empty)" when received with nothing in it).
std::string idText(const std::optional<std::vector<std::string>>& fields);

std::string clearOutcomeText(ClearOutcome outcome); // "" for None

// A node's fault state in a few words: "2 active", "none active",
// "no DM1", plus ", stale" when its DM1 stopped coming.
std::string faultSummary(const Node& node);

// Whole seconds since then, "12 s ago".
std::string ageText(TimePoint then, TimePoint now);

} // namespace diagnostics
