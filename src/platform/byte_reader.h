#pragma once
// Reads the little-endian fields of a settings file one after the other and
// reports running out of bytes instead of reading past the end. Header only,
// so the file decoders build without Qt (the fuzzers use them so).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool byte(uint8_t& value) {
        if (at_ >= bytes_.size())
            return false;
        value = bytes_[at_++];
        return true;
    }
    bool half(uint16_t& value) {
        if (bytes_.size() - at_ < 2)
            return false;
        value = uint16_t(bytes_[at_] | (bytes_[at_ + 1] << 8));
        at_ += 2;
        return true;
    }
    bool word(uint32_t& value) {
        if (bytes_.size() - at_ < 4)
            return false;
        value = 0;
        for (int i = 0; i < 4; ++i)
            value |= uint32_t{bytes_[at_ + i]} << (8 * i);
        at_ += 4;
        return true;
    }
    // Copies count bytes into out (which holds at least count).
    bool block(uint8_t* out, std::size_t count) {
        if (bytes_.size() - at_ < count)
            return false;
        std::copy_n(bytes_.begin() + std::ptrdiff_t(at_), count, out);
        at_ += count;
        return true;
    }
    std::size_t position() const { return at_; }
    bool atEnd() const { return at_ == bytes_.size(); }

private:
    std::span<const uint8_t> bytes_;
    std::size_t at_ = 0;
};

} // namespace platform
