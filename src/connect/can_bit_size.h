#pragma once
#include <cstdint>

namespace connect {

// The CAN identifier size the program works with: 29-bit J1939 identifiers.
inline constexpr uint8_t canBitSize = 29;

} // namespace connect
