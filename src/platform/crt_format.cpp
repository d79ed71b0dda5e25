#include "platform/crt_format.h"

#include <climits>
#include <cstring>
#include <cwchar>

namespace platform {

namespace {

struct Spec {
    bool left = false;      // '-'
    bool zero = false;      // '0'
    bool plus = false;      // '+'
    bool space = false;     // ' '
    bool alternate = false; // '#'
    int width = 0;
    int precision = -1; // -1: none given
    enum class Length { None, Char, Short, Long, LongLong } length = Length::None;
};

void appendRepeated(std::string& out, char c, std::size_t count) {
    out.append(count, c);
}

// Writes prefix (sign or 0x) and body into a field of spec.width characters.
// zeroPad puts '0' digits between the prefix and the body instead of blanks
// before the prefix; the - flag always pads with blanks on the right.
void emitField(std::string& out, const Spec& spec, std::string_view prefix, std::string_view body,
               bool zeroPad) {
    const std::size_t length = prefix.size() + body.size();
    const std::size_t padding =
        spec.width > 0 && static_cast<std::size_t>(spec.width) > length ? spec.width - length : 0;
    if (spec.left) {
        out.append(prefix);
        out.append(body);
        appendRepeated(out, ' ', padding);
    } else if (zeroPad) {
        out.append(prefix);
        appendRepeated(out, '0', padding);
        out.append(body);
    } else {
        appendRepeated(out, ' ', padding);
        out.append(prefix);
        out.append(body);
    }
}

std::string digitsOf(unsigned long long value, unsigned base, bool upper) {
    const char* digitSet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char buffer[64];
    std::size_t n = 0;
    do {
        buffer[n++] = digitSet[value % base];
        value /= base;
    } while (value != 0);
    std::string digits(n, '0');
    for (std::size_t i = 0; i < n; ++i) {
        digits[i] = buffer[n - 1 - i];
    }
    return digits;
}

long long signedArgument(const Spec& spec, va_list& args) {
    switch (spec.length) {
    case Spec::Length::Char:
        return static_cast<signed char>(va_arg(args, int));
    case Spec::Length::Short:
        return static_cast<short>(va_arg(args, int));
    case Spec::Length::Long:
        return va_arg(args, long);
    case Spec::Length::LongLong:
        return va_arg(args, long long);
    case Spec::Length::None:
        break;
    }
    return va_arg(args, int);
}

unsigned long long unsignedArgument(const Spec& spec, va_list& args) {
    switch (spec.length) {
    case Spec::Length::Char:
        return static_cast<unsigned char>(va_arg(args, unsigned));
    case Spec::Length::Short:
        return static_cast<unsigned short>(va_arg(args, unsigned));
    case Spec::Length::Long:
        return va_arg(args, unsigned long);
    case Spec::Length::LongLong:
        return va_arg(args, unsigned long long);
    case Spec::Length::None:
        break;
    }
    return va_arg(args, unsigned);
}

void formatInteger(std::string& out, const Spec& spec, char conversion, va_list& args) {
    std::string prefix;
    unsigned long long magnitude = 0;
    unsigned base = 10;
    if (conversion == 'd' || conversion == 'i') {
        const long long value = signedArgument(spec, args);
        if (value < 0) {
            prefix = "-";
            // Negate in unsigned arithmetic so LLONG_MIN does not overflow.
            magnitude = 0ULL - static_cast<unsigned long long>(value);
        } else {
            magnitude = static_cast<unsigned long long>(value);
            if (spec.plus) {
                prefix = "+";
            } else if (spec.space) {
                prefix = " ";
            }
        }
    } else {
        magnitude = unsignedArgument(spec, args);
        base = conversion == 'o' ? 8 : conversion == 'u' ? 10 : 16;
    }

    std::string digits;
    if (!(spec.precision == 0 && magnitude == 0)) {
        digits = digitsOf(magnitude, base, conversion == 'X');
    }
    if (spec.precision > 0 && digits.size() < static_cast<std::size_t>(spec.precision)) {
        digits.insert(0, spec.precision - digits.size(), '0');
    }
    if (spec.alternate) {
        if (conversion == 'o' && (digits.empty() || digits.front() != '0')) {
            digits.insert(0, 1, '0');
        } else if ((conversion == 'x' || conversion == 'X') && magnitude != 0) {
            prefix = conversion == 'x' ? "0x" : "0X";
        }
    }
    // A precision turns the 0 flag off for integers, as in C.
    emitField(out, spec, prefix, digits, spec.zero && spec.precision < 0);
}

void formatString(std::string& out, const Spec& spec, va_list& args) {
    std::string text;
    if (spec.length == Spec::Length::Long) {
        const wchar_t* wide = va_arg(args, const wchar_t*);
        if (wide == nullptr) {
            wide = L"(null)";
        }
        for (; *wide != L'\0'; ++wide) {
            if (spec.precision >= 0 && text.size() >= static_cast<std::size_t>(spec.precision)) {
                break;
            }
            text.push_back(*wide >= 0 && *wide < 0x80 ? static_cast<char>(*wide) : '?');
        }
    } else {
        const char* narrow = va_arg(args, const char*);
        if (narrow == nullptr) {
            narrow = "(null)";
        }
        // With a precision the text need not be terminated within it.
        const std::size_t length = spec.precision >= 0
                                       ? strnlen(narrow, static_cast<std::size_t>(spec.precision))
                                       : std::strlen(narrow);
        text.assign(narrow, length);
    }
    emitField(out, spec, {}, text, spec.zero);
}

int readNumber(const char*& p) {
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
        if (value < INT_MAX) {
            value = value * 10 + (*p - '0');
        }
        ++p;
    }
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

} // namespace

std::string crtFormatV(const char* format, va_list argsIn) {
    std::string out;
    if (format == nullptr) {
        return out;
    }
    va_list args;
    va_copy(args, argsIn);
    const char* p = format;
    while (*p != '\0') {
        if (*p != '%') {
            out.push_back(*p++);
            continue;
        }
        const char* start = p++;
        Spec spec;
        for (;; ++p) {
            if (*p == '-') {
                spec.left = true;
            } else if (*p == '0') {
                spec.zero = true;
            } else if (*p == '+') {
                spec.plus = true;
            } else if (*p == ' ') {
                spec.space = true;
            } else if (*p == '#') {
                spec.alternate = true;
            } else {
                break;
            }
        }
        if (*p == '*') {
            ++p;
            const int width = va_arg(args, int);
            if (width < 0) {
                spec.left = true;
                spec.width = width == INT_MIN ? INT_MAX : -width;
            } else {
                spec.width = width;
            }
        } else {
            spec.width = readNumber(p);
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                ++p;
                const int precision = va_arg(args, int);
                spec.precision = precision < 0 ? -1 : precision;
            } else {
                spec.precision = readNumber(p);
            }
        }
        if (*p == 'h') {
            ++p;
            spec.length = Spec::Length::Short;
            if (*p == 'h') {
                ++p;
                spec.length = Spec::Length::Char;
            }
        } else if (*p == 'l') {
            ++p;
            spec.length = Spec::Length::Long;
            if (*p == 'l') {
                ++p;
                spec.length = Spec::Length::LongLong;
            }
        }
        const char conversion = *p;
        switch (conversion) {
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X':
        case 'o':
            formatInteger(out, spec, conversion, args);
            break;
        case 'c': {
            const char c = static_cast<char>(va_arg(args, int));
            emitField(out, spec, {}, std::string_view(&c, 1), spec.zero);
            break;
        }
        case 's':
            formatString(out, spec, args);
            break;
        case '%':
            out.push_back('%');
            break;
        case '\0':
            // A lone '%', or a conversion cut off by the end of the format, is copied as written.
            out.append(start, p);
            va_end(args);
            return out;
        default:
            // Unknown conversions are copied as written; no argument is taken.
            out.append(start, p + 1);
            break;
        }
        ++p;
    }
    va_end(args);
    return out;
}

std::string crtFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = crtFormatV(format, args);
    va_end(args);
    return out;
}

namespace {

bool isScanBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int digitValue(char c, unsigned base) {
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value >= 0 && static_cast<unsigned>(value) < base ? value : -1;
}

// Reads blanks, a sign, (for base 16) an optional 0x, then digits; the value
// wraps modulo 2^32 and a '-' negates it modulo 2^32.
bool scanNumber(std::string_view text, unsigned base, std::uint32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && isScanBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool sawDigit = false;
    if (base == 16 && i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        // The '0' of the prefix counts as a digit, so "0x" alone reads 0.
        sawDigit = true;
        i += 2;
    }
    std::uint32_t result = 0;
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text[i], base);
        if (digit < 0) {
            break;
        }
        result = result * base + static_cast<std::uint32_t>(digit);
        sawDigit = true;
    }
    if (!sawDigit) {
        return false;
    }
    value = negative ? 0U - result : result;
    return true;
}

} // namespace

bool scanHex(std::string_view text, std::uint32_t& value) {
    return scanNumber(text, 16, value);
}

bool scanUnsigned(std::string_view text, std::uint32_t& value) {
    return scanNumber(text, 10, value);
}

bool scanHex16(std::string_view text, std::uint16_t& value) {
    std::uint32_t wide = 0;
    if (!scanNumber(text, 16, wide)) {
        return false;
    }
    value = static_cast<std::uint16_t>(wide);
    return true;
}

bool scanUnsigned16(std::string_view text, std::uint16_t& value) {
    std::uint32_t wide = 0;
    if (!scanNumber(text, 10, wide)) {
        return false;
    }
    value = static_cast<std::uint16_t>(wide);
    return true;
}

bool scanInt(std::string_view text, std::int32_t& value) {
    std::uint32_t wide = 0;
    if (!scanNumber(text, 10, wide)) {
        return false;
    }
    value = static_cast<std::int32_t>(wide);
    return true;
}

} // namespace platform
