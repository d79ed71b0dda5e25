#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// printf-style formatting with the rules of the Windows C runtime the
// program's formats were written for. Supported: flags - 0 + space #, width
// and precision (digits or *), length modifiers h hh l ll, conversions
// d i u x X o c s %.
//
// Where those rules differ from glibc: the 0 flag pads %s and %c fields on
// the left with the digit '0' ("%06s" of "1A" gives "00001A"); glibc pads
// them with blanks. With the - flag the field is padded on the right with
// blanks as usual. Everything else follows C printf.
//
// No format attribute is declared on purpose: the compiler's printf checker
// would warn about "%06s", which is one of the formats the program needs.
std::string crtFormat(const char* format, ...);
std::string crtFormatV(const char* format, va_list args);

// scanf-style readers of one number, with the C rules of the conversion
// named: leading blanks skipped, an optional sign, digits up to the first
// character that is not one. The value wraps modulo 2^32 (or 2^16 for the
// 16-bit readers) like the C runtime's conversion, and a '-' negates it in
// that width. They return false, leaving value untouched, when no digit is
// found.
bool scanHex(std::string_view text, std::uint32_t& value);        // "%x", optional 0x/0X prefix
bool scanUnsigned(std::string_view text, std::uint32_t& value);   // "%u"
bool scanHex16(std::string_view text, std::uint16_t& value);      // "%hx"
bool scanUnsigned16(std::string_view text, std::uint16_t& value); // "%hu"
bool scanInt(std::string_view text, std::int32_t& value);         // "%d"

} // namespace platform
