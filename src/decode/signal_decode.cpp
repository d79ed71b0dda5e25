#include "decode/signal_decode.h"

namespace decode {

uint64_t extractRaw(const SignalDef&, std::span<const uint8_t>) {
    return 0;
}
bool fitsIn(const SignalDef&, std::size_t) {
    return false;
}
int64_t rawAsInteger(const SignalDef&, uint64_t raw) {
    return static_cast<int64_t>(raw);
}
Availability j1939Availability(uint16_t, uint64_t) {
    return Availability::Valid;
}
DecodedSignal decodeSignal(const SignalDef& signal, std::span<const uint8_t>, bool) {
    DecodedSignal d;
    d.def = &signal;
    return d;
}
void decodeMessage(const MessageDef&, std::span<const uint8_t>, std::vector<DecodedSignal>&) {}
std::string formatValue(const DecodedSignal&) {
    return {};
}
std::string formatNumber(double) {
    return {};
}

} // namespace decode
