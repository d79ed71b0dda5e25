#pragma once
// Text helpers of the hexadecimal fields.

#include <QString>

#include <cstdint>

namespace fields {

// Cleans a typed hexadecimal text in place: upper case, only the leading run
// of the digits 0-9 and A-F kept, an empty result becomes "0", and at most
// maxLength characters remain.
void cleanHexText(QString& text, int maxLength);

// value in upper-case hexadecimal without leading zeros ("%X").
QString hexText(uint32_t value);

// Reads a text as hexadecimal with the C rule of "%x"; 0 when no digit is found.
uint32_t hexValue(const QString& text);

} // namespace fields
