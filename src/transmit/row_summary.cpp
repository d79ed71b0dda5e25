#include "transmit/row_summary.h"

#include "platform/crt_format.h"

namespace transmit {

namespace {
std::string cut(std::string text) {
    if (text.size() > kSummaryMax)
        text.resize(kSummaryMax);
    return text;
}
} // namespace

std::string summaryHead1708(uint8_t mid, uint8_t pid) {
    return cut(platform::crtFormat("TXJ1708  %02X  %02X  ", unsigned(mid), unsigned(pid)));
}

std::string summaryHead1850(const std::string& identifierText) {
    return cut(platform::crtFormat("TXJ1850  %06s  ", identifierText.c_str()));
}

std::string summaryHead1939(const std::string& identifierText) {
    return cut(platform::crtFormat("TXJ1939  %08s  ", identifierText.c_str()));
}

std::string appendDataSummary(std::string text, const uint16_t* values, int count) {
    for (int i = 0; i < count; ++i) {
        text = platform::crtFormat("%s  %02X", text.c_str(), unsigned(values[i]));
        if (text.size() >= kSummaryMax)
            break;
    }
    return cut(std::move(text));
}

} // namespace transmit
