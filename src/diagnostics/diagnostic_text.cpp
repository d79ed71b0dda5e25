#include "diagnostics/diagnostic_text.h"

#include <cinttypes>
#include <cstdio>

namespace diagnostics {

std::string hexByte(uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

std::string nameHex(uint64_t name) {
    char text[20];
    std::snprintf(text, sizeof text, "%016" PRIX64, name);
    return text;
}

std::string nameDescription(uint64_t name) {
    const decode::Name parts = decode::splitName(name);
    return "manufacturer " + std::to_string(parts.manufacturerCode) + ", function " +
           std::to_string(parts.function) + ", vehicle system " + std::to_string(parts.vehicleSystem) +
           ", ECU instance " + std::to_string(parts.ecuInstance) + ", industry group " +
           std::to_string(parts.industryGroup) +
           ", arbitrary address capable: " + (parts.arbitraryAddressCapable ? "yes" : "no");
}

namespace {

const char* stateWord(decode::LampState state) {
    switch (state) {
    case decode::LampState::Off:
        return "off";
    case decode::LampState::On:
        return "on";
    case decode::LampState::FlashSlow:
        return "flashing slow";
    case decode::LampState::FlashFast:
        return "flashing fast";
    case decode::LampState::Error:
        return "error";
    case decode::LampState::NotAvailable:
        break;
    }
    return "not available";
}

bool lit(decode::LampState state) {
    return state == decode::LampState::On || state == decode::LampState::FlashSlow ||
           state == decode::LampState::FlashFast;
}

} // namespace

std::vector<LampWords> lampWords(const decode::Lamps& lamps) {
    struct Lamp {
        const char* caption;
        decode::LampState state;
        const char* litColour;
    };
    const Lamp all[] = {{"MIL", lamps.mil, "#d98c00"},
                        {"Red stop", lamps.redStop, "#c62828"},
                        {"Amber warning", lamps.amberWarning, "#e6a100"},
                        {"Protect", lamps.protect, "#d98c00"}};
    std::vector<LampWords> words;
    for (const Lamp& lamp : all)
        words.push_back({lamp.caption, stateWord(lamp.state), lit(lamp.state) ? lamp.litColour : "#8a8a8a"});
    return words;
}

std::string lampSummary(const decode::Lamps& lamps) {
    const decode::LampState states[] = {lamps.mil, lamps.redStop, lamps.amberWarning, lamps.protect};
    const std::vector<LampWords> words = lampWords(lamps);
    std::string summary;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (!lit(states[i]))
            continue;
        if (!summary.empty())
            summary += ", ";
        summary += std::string(words[i].caption) + " " + words[i].state;
    }
    return summary.empty() ? "all off" : summary;
}

std::string spnText(uint32_t spn, const SpnNameLookup& lookup) {
    std::string text = std::to_string(spn);
    if (lookup) {
        const std::string name = lookup(spn);
        if (!name.empty())
            text += " " + name;
    }
    return text;
}

std::string fmiWords(uint8_t fmi) {
    return std::to_string(fmi) + " " + std::string(decode::fmiText(fmi));
}

std::string idText(const std::optional<std::vector<std::string>>& fields) {
    if (!fields)
        return {};
    std::string text;
    for (const std::string& field : *fields) {
        if (field.empty())
            continue;
        if (!text.empty())
            text += " / ";
        text += field;
    }
    return text.empty() ? "(empty)" : text;
}

std::string clearOutcomeText(ClearOutcome outcome) {
    switch (outcome) {
    case ClearOutcome::None:
        return {};
    case ClearOutcome::Waiting:
        return "waiting for an answer";
    case ClearOutcome::Positive:
        return "cleared (positive acknowledgment)";
    case ClearOutcome::Negative:
        return "refused (negative acknowledgment)";
    case ClearOutcome::AccessDenied:
        return "access denied";
    case ClearOutcome::CannotRespond:
        return "cannot respond";
    case ClearOutcome::TimedOut:
        return "no answer (timed out)";
    }
    return {};
}

std::string faultSummary(const Node& node) {
    if (!node.active)
        return "no DM1";
    std::string text =
        node.active->codes.empty() ? "none active" : std::to_string(node.active->codes.size()) + " active";
    if (node.activeStale)
        text += ", stale";
    return text;
}

std::string ageText(TimePoint then, TimePoint now) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - then).count();
    return std::to_string(seconds < 0 ? 0 : seconds) + " s ago";
}

} // namespace diagnostics
