#include "receive/display_line.h"

#include <algorithm>
#include <cstring>

namespace receive {

namespace {

// Appends fixed pieces without printf: the threads format one line per
// message, so this is on the hot path. The results equal the formats
// "%08u", "%02X", "%06X", "%08X", "%03d", "%08d" and "%010d".
class LineWriter {
public:
    explicit LineWriter(char* out) : out_(out) {}

    void text(const char* piece) {
        const std::size_t length = std::strlen(piece);
        std::memcpy(out_ + size_, piece, length);
        size_ += length;
    }
    void spaces(int count) {
        std::memset(out_ + size_, ' ', std::size_t(count));
        size_ += std::size_t(count);
    }
    void hex(uint32_t value, int width) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        char digits[8];
        int count = 0;
        do {
            digits[count++] = kDigits[value & 0xF];
            value >>= 4;
        } while (value != 0);
        pad(width - count);
        while (count > 0)
            out_[size_++] = digits[--count];
    }
    // Zero-padded decimal with C's rules: the sign counts towards the width.
    void decimal(int64_t value, int width) {
        uint64_t magnitude = value < 0 ? uint64_t(-value) : uint64_t(value);
        char digits[20];
        int count = 0;
        do {
            digits[count++] = char('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0) {
            out_[size_++] = '-';
            --width;
        }
        pad(width - count);
        while (count > 0)
            out_[size_++] = digits[--count];
    }
    std::size_t size() const { return size_; }

private:
    void pad(int count) {
        for (; count > 0; --count)
            out_[size_++] = '0';
    }

    char* out_;
    std::size_t size_ = 0;
};

uint8_t byteAt(const uint8_t* bytes, std::size_t length, std::size_t index) {
    return index < length ? bytes[index] : 0;
}

uint32_t timestampOf(const uint8_t* bytes, std::size_t length) {
    return uint32_t(byteAt(bytes, length, 0)) << 24 | uint32_t(byteAt(bytes, length, 1)) << 16 |
           uint32_t(byteAt(bytes, length, 2)) << 8 | uint32_t(byteAt(bytes, length, 3));
}

} // namespace

uint32_t j1939Identifier(const uint8_t* bytes, std::size_t length) {
    auto at = [&](std::size_t index) { return uint32_t(byteAt(bytes, length, index)); };
    return at(7) << 26 | at(6) << 24 | at(5) << 16 | (at(4) | at(9)) << 8 | at(8);
}

std::size_t formatDisplayLine(connect::Protocol protocol, const uint8_t* bytes, std::size_t length,
                              bool hexMode, char* out) {
    LineWriter line(out);
    const uint32_t timestamp = timestampOf(bytes, length);
    switch (protocol) {
    case connect::Protocol::J1708:
        line.text("RXJ1708  ");
        line.decimal(timestamp, 8);
        line.spaces(2);
        if (hexMode)
            line.hex(byteAt(bytes, length, 4), 2);
        else
            line.decimal(byteAt(bytes, length, 4), 3);
        line.spaces(5);
        if (hexMode)
            line.hex(byteAt(bytes, length, 5), 2);
        else
            line.decimal(byteAt(bytes, length, 5), 3);
        line.spaces(5);
        break;
    case connect::Protocol::J1850: {
        const uint32_t header = uint32_t(byteAt(bytes, length, 8)) << 16 |
                                uint32_t(byteAt(bytes, length, 9)) << 8 | byteAt(bytes, length, 10);
        line.text("RXJ1850  ");
        line.decimal(timestamp, 8);
        line.spaces(2);
        if (hexMode)
            line.hex(header, 6);
        else
            line.decimal(header, 8);
        line.spaces(6);
        break;
    }
    case connect::Protocol::J1939: {
        const uint32_t identifier = j1939Identifier(bytes, length);
        line.text("RXJ1939  ");
        line.decimal(timestamp, 8);
        line.spaces(2);
        if (hexMode)
            line.hex(identifier, 8);
        else
            line.decimal(int32_t(identifier), 10);
        line.spaces(2);
        break;
    }
    }
    const std::size_t end = std::min<std::size_t>(length, kShownByteLimit);
    for (std::size_t i = std::size_t(receiveLimits(protocol).firstDataByte); i < end; ++i) {
        line.spaces(2);
        if (hexMode)
            line.hex(bytes[i], 2);
        else
            line.decimal(bytes[i], 3);
    }
    line.text("\r\n");
    return line.size();
}

std::string displayLine(connect::Protocol protocol, std::span<const uint8_t> bytes, bool hexMode) {
    char out[kLineBufferSize];
    const std::size_t size = formatDisplayLine(protocol, bytes.data(), bytes.size(), hexMode, out);
    return std::string(out, size);
}

} // namespace receive
