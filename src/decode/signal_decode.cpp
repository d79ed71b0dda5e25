#include "decode/signal_decode.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace decode {

namespace {

uint64_t lowMask(uint16_t length) {
    return length >= 64 ? ~uint64_t{0} : (uint64_t{1} << length) - 1;
}

// A Motorola signal's start bit is its most significant bit, numbered
// within its byte from 7 (the byte's top) down to 0; counting bits instead
// from the frame's first byte top-down makes the signal one contiguous run.
unsigned motorolaMsbIndex(uint16_t startBit) {
    return (startBit / 8u) * 8u + (7u - startBit % 8u);
}

bool bitAt(std::span<const uint8_t> data, unsigned byte, unsigned bit) {
    return byte < data.size() && ((data[byte] >> bit) & 1);
}

} // namespace

bool fitsIn(const SignalDef& signal, std::size_t bytes) {
    if (signal.length == 0 || signal.length > 64)
        return false;
    const std::size_t bits = bytes * 8;
    if (signal.littleEndian)
        return std::size_t{signal.startBit} + signal.length <= bits;
    return std::size_t{motorolaMsbIndex(signal.startBit)} + signal.length <= bits;
}

uint64_t extractRaw(const SignalDef& signal, std::span<const uint8_t> data) {
    const uint16_t length = signal.length > 64 ? 64 : signal.length;
    if (length == 0)
        return 0;
    if (data.size() <= 8) {
        // The whole frame in one word: one shift and one mask.
        uint8_t bytes[8] = {};
        std::memcpy(bytes, data.data(), data.size());
        if (signal.littleEndian) {
            if (signal.startBit + length <= 64) {
                uint64_t word = 0;
                for (int i = 7; i >= 0; --i)
                    word = (word << 8) | bytes[i];
                return (word >> signal.startBit) & lowMask(length);
            }
        } else {
            const unsigned msb = motorolaMsbIndex(signal.startBit);
            if (msb + length <= 64) {
                uint64_t word = 0;
                for (int i = 0; i < 8; ++i)
                    word = (word << 8) | bytes[i];
                return (word >> (64 - msb - length)) & lowMask(length);
            }
        }
    }
    uint64_t raw = 0;
    if (signal.littleEndian) {
        for (unsigned i = length; i-- > 0;) {
            const unsigned at = signal.startBit + i;
            raw = (raw << 1) | bitAt(data, at / 8, at % 8);
        }
    } else {
        const unsigned msb = motorolaMsbIndex(signal.startBit);
        for (unsigned i = 0; i < length; ++i) {
            const unsigned at = msb + i;
            raw = (raw << 1) | bitAt(data, at / 8, 7 - at % 8);
        }
    }
    return raw;
}

int64_t rawAsInteger(const SignalDef& signal, uint64_t raw) {
    if (!signal.isSigned || signal.length >= 64 || signal.length == 0)
        return static_cast<int64_t>(raw);
    const uint64_t sign = uint64_t{1} << (signal.length - 1);
    return static_cast<int64_t>((raw ^ sign) - sign);
}

Availability j1939Availability(uint16_t length, uint64_t raw) {
    if (length == 2 || length == 4) {
        const uint64_t top = lowMask(length);
        return raw == top       ? Availability::NotAvailable
               : raw == top - 1 ? Availability::Error
                                : Availability::Valid;
    }
    if (length >= 8 && length <= 64) {
        const uint64_t topByte = (raw >> (length - 8)) & 0xFF;
        return topByte == 0xFF   ? Availability::NotAvailable
               : topByte == 0xFE ? Availability::Error
                                 : Availability::Valid;
    }
    return Availability::Valid;
}

DecodedSignal decodeSignal(const SignalDef& signal, std::span<const uint8_t> data, bool j1939Ranges) {
    DecodedSignal d;
    d.def = &signal;
    d.raw = extractRaw(signal, data);
    const int64_t integer = rawAsInteger(signal, d.raw);
    d.value = (signal.isSigned ? static_cast<double>(integer) : static_cast<double>(d.raw)) * signal.factor +
              signal.offset;
    if (j1939Ranges && !signal.isSigned)
        d.availability = j1939Availability(signal.length, d.raw);
    if (!signal.valueTable.empty())
        d.valueText = signal.valueText(integer);
    return d;
}

void decodeMessage(const MessageDef& message, std::span<const uint8_t> data,
                   std::vector<DecodedSignal>& out) {
    bool haveSelector = false;
    uint64_t selector = 0;
    if (const SignalDef* mux = message.multiplexor(); mux && fitsIn(*mux, data.size())) {
        haveSelector = true;
        selector = extractRaw(*mux, data);
    }
    for (const SignalDef& signal : message.signalDefs) {
        if (signal.isMultiplexed() && (!haveSelector || selector != signal.multiplexValue))
            continue;
        if (!fitsIn(signal, data.size()))
            continue; // a shorter frame than the database says: the signal is not there
        out.push_back(decodeSignal(signal, data, message.isJ1939));
    }
}

std::string formatNumber(double value) {
    if (!std::isfinite(value))
        return std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
    if (value == 0)
        value = 0; // no "-0"
    char buf[40];
    // Ten significant digits hide the binary rounding of factors like 0.1.
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 10);
    if (ec != std::errc{})
        return {};
    return std::string(buf, end);
}

std::string formatValue(const DecodedSignal& signal) {
    switch (signal.availability) {
    case Availability::Error:
        return "error";
    case Availability::NotAvailable:
        return "n/a";
    case Availability::Valid:
        break;
    }
    if (!signal.valueText.empty())
        return std::string(signal.valueText);
    std::string text;
    const SignalDef* def = signal.def;
    if (def && def->factor == 1.0 && def->offset == 0.0) {
        // Integers exactly, even past a double's 53 bits.
        char buf[24];
        auto [end, ec] = def->isSigned ? std::to_chars(buf, buf + sizeof buf, rawAsInteger(*def, signal.raw))
                                       : std::to_chars(buf, buf + sizeof buf, signal.raw);
        text.assign(buf, ec == std::errc{} ? end : buf);
    } else {
        text = formatNumber(signal.value);
    }
    if (def && !def->unit.empty()) {
        text += ' ';
        text += def->unit;
    }
    return text;
}

} // namespace decode
