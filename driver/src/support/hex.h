// Hexadecimal digits as the text formats of CAN tools write them.
#pragma once

namespace zt {

// The value of one hexadecimal digit, -1 for any other character.
inline int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace zt
