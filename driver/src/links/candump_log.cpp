#include "links/candump_log.h"
#include "support/hex.h"

#include <algorithm>

namespace zt::candump {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// The next run of non-space characters; s moves past it and the spaces after.
std::string_view takeToken(std::string_view& s) {
    size_t end = 0;
    while (end < s.size() && !isSpace(s[end]))
        ++end;
    std::string_view token = s.substr(0, end);
    s.remove_prefix(end);
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    return token;
}

// "(seconds.fraction)": up to 12 digits of seconds so the microseconds fit in
// 64 bits, 1 to 9 digits of fraction (candump writes 6).
bool parseTime(std::string_view token, Micros& time) {
    if (token.size() < 5 || token.front() != '(' || token.back() != ')')
        return false;
    token = token.substr(1, token.size() - 2);
    const size_t dot = token.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot > 12 || token.size() - dot - 1 < 1 ||
        token.size() - dot - 1 > 9)
        return false;
    Micros seconds = 0;
    for (size_t i = 0; i < dot; ++i) {
        if (token[i] < '0' || token[i] > '9')
            return false;
        seconds = seconds * 10 + (token[i] - '0');
    }
    Micros fraction = 0;
    int digits = 0;
    for (size_t i = dot + 1; i < token.size(); ++i, ++digits) {
        if (token[i] < '0' || token[i] > '9')
            return false;
        if (digits < 6)
            fraction = fraction * 10 + (token[i] - '0');
    }
    for (; digits < 6; ++digits)
        fraction *= 10;
    time = seconds * 1'000'000 + fraction;
    return true;
}

LineKind parseFrame(std::string_view token, CanFrame& frame) {
    const size_t hash = token.find('#');
    if (hash != 3 && hash != 8)
        return LineKind::Invalid;
    uint32_t id = 0;
    for (size_t i = 0; i < hash; ++i) {
        const int v = hexValue(token[i]);
        if (v < 0)
            return LineKind::Invalid;
        id = id << 4 | static_cast<uint32_t>(v);
    }
    frame.extended = hash == 8;
    // Error frames carry a flag above the 29 bits and are not carried either.
    if (id > (frame.extended ? 0x1FFFFFFFu : 0x7FFu))
        return LineKind::Invalid;
    frame.id = id;

    std::string_view rest = token.substr(hash + 1);
    if (!rest.empty() && rest.front() == '#')
        return LineKind::CanFd;
    if (!rest.empty() && (rest.front() == 'R' || rest.front() == 'r')) {
        // "#R" with an optional length digit.
        if (rest.size() == 1 || (rest.size() == 2 && rest[1] >= '0' && rest[1] <= '8'))
            return LineKind::Remote;
        return LineKind::Invalid;
    }
    uint8_t length = 0;
    while (!rest.empty()) {
        if (rest.front() == '.' && length > 0) {
            rest.remove_prefix(1);
            continue;
        }
        // A data length code of 9-15 on an 8-byte frame ("_F") is accepted.
        if (rest.front() == '_' && length == 8) {
            if (rest.size() != 2 || hexValue(rest[1]) < 9)
                return LineKind::Invalid;
            break;
        }
        if (rest.size() < 2 || length == 8)
            return LineKind::Invalid;
        const int high = hexValue(rest[0]);
        const int low = hexValue(rest[1]);
        if (high < 0 || low < 0)
            return LineKind::Invalid;
        frame.data[length++] = static_cast<uint8_t>(high << 4 | low);
        rest.remove_prefix(2);
    }
    frame.length = length;
    return LineKind::Frame;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

char* writeDecimal(char* out, uint64_t value, int minDigits) {
    char digits[20];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n < minDigits)
        digits[n++] = '0';
    while (n > 0)
        *out++ = digits[--n];
    return out;
}

} // namespace

ParsedLine parseLine(std::string_view line) {
    ParsedLine parsed;
    std::string_view rest = trimmed(line);
    if (rest.empty()) {
        parsed.kind = LineKind::Empty;
        return parsed;
    }
    const std::string_view time = takeToken(rest);
    const std::string_view interface = takeToken(rest);
    const std::string_view frame = takeToken(rest);
    const std::string_view direction = takeToken(rest);
    if (!rest.empty() || frame.empty() || !parseTime(time, parsed.time))
        return parsed;
    if (!direction.empty() && direction != "R" && direction != "T")
        return parsed;
    parsed.interface = interface;
    parsed.kind = parseFrame(frame, parsed.frame);
    return parsed;
}

size_t formatLine(char* out, const CanFrame& frame, Micros time, std::string_view interface) {
    char* p = out;
    const uint64_t t = time < 0 ? 0 : static_cast<uint64_t>(time);
    *p++ = '(';
    p = writeDecimal(p, t / 1'000'000, 10);
    *p++ = '.';
    p = writeDecimal(p, t % 1'000'000, 6);
    *p++ = ')';
    *p++ = ' ';
    interface = interface.substr(0, 32);
    p = std::copy(interface.begin(), interface.end(), p);
    *p++ = ' ';
    const int idDigits = frame.extended ? 8 : 3;
    const uint32_t id = frame.id & (frame.extended ? 0x1FFFFFFFu : 0x7FFu);
    for (int i = idDigits - 1; i >= 0; --i)
        *p++ = kHexDigits[(id >> (4 * i)) & 0xF];
    *p++ = '#';
    const uint8_t length = std::min<uint8_t>(frame.length, 8);
    for (uint8_t i = 0; i < length; ++i) {
        *p++ = kHexDigits[frame.data[i] >> 4];
        *p++ = kHexDigits[frame.data[i] & 0xF];
    }
    *p++ = '\n';
    return static_cast<size_t>(p - out);
}

std::string formatLine(const CanFrame& frame, Micros time, std::string_view interface) {
    char buffer[kMaxFormattedLine + 1];
    return std::string(buffer, formatLine(buffer, frame, time, interface));
}

} // namespace zt::candump
