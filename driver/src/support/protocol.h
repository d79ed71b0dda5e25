// The three RP1210A protocols the driver offers.
#pragma once

#include <cstdint>

namespace zt {

enum class Protocol : uint8_t { J1708 = 1, J1850 = 2, J1939 = 3 };

} // namespace zt
