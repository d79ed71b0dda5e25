#include "decode/j1587.h"

#include <array>

namespace decode {

namespace {

// The data length of a PID by its position within its page, or -1 for a
// length byte followed by that many.
int fixedLength(uint8_t pidInPage) {
    if (pidInPage < 128)
        return 1;
    if (pidInPage < 192)
        return 2;
    return -1;
}

} // namespace

std::vector<J1587Parameter> splitJ1587(std::span<const uint8_t> afterMid) {
    std::vector<J1587Parameter> out;
    std::size_t at = 0;
    while (at < afterMid.size()) {
        uint8_t pidByte = afterMid[at++];
        uint16_t pid = pidByte;
        if (pidByte == 255) {
            if (at >= afterMid.size()) {
                out.push_back({pid, {}, false});
                break;
            }
            pidByte = afterMid[at++];
            pid = static_cast<uint16_t>(256 + pidByte);
        }
        std::size_t length;
        if (int fixed = fixedLength(pidByte); fixed > 0) {
            length = static_cast<std::size_t>(fixed);
        } else {
            if (at >= afterMid.size()) {
                out.push_back({pid, {}, false});
                break;
            }
            length = afterMid[at++];
        }
        if (afterMid.size() - at < length) {
            out.push_back({pid, afterMid.subspan(at), false});
            break;
        }
        out.push_back({pid, afterMid.subspan(at, length), true});
        at += length;
    }
    return out;
}

std::vector<J1587Dtc> decodeJ1587Dtcs(std::span<const uint8_t> data) {
    std::vector<J1587Dtc> codes;
    std::size_t at = 0;
    while (at + 2 <= data.size()) {
        const uint8_t id = data[at];
        const uint8_t character = data[at + 1];
        at += 2;
        J1587Dtc dtc;
        dtc.isSid = character & 0x10;
        dtc.pidOrSid = static_cast<uint16_t>(id + ((character & 0x20) && !dtc.isSid ? 256 : 0));
        dtc.active = !(character & 0x40);
        dtc.fmi = character & 0x0F;
        if (character & 0x80) {
            if (at >= data.size())
                break;
            dtc.occurrenceCount = data[at++];
        }
        codes.push_back(dtc);
    }
    return codes;
}

std::string_view j1587FmiText(uint8_t fmi) {
    static constexpr std::array<std::string_view, 16> kTexts = {
        "Data valid but above normal operational range",
        "Data valid but below normal operational range",
        "Data erratic, intermittent, or incorrect",
        "Voltage above normal or shorted high",
        "Voltage below normal or shorted low",
        "Current below normal or open circuit",
        "Current above normal or grounded circuit",
        "Mechanical system not responding properly",
        "Abnormal frequency, pulse width, or period",
        "Abnormal update rate",
        "Abnormal rate of change",
        "Failure mode not identifiable",
        "Bad intelligent device or component",
        "Out of calibration",
        "Special instructions",
        "Reserved",
    };
    return fmi < kTexts.size() ? kTexts[fmi] : std::string_view{};
}

} // namespace decode
