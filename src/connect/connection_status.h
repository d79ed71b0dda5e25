#pragma once
#include <cstdint>

namespace connect {

// The record the main window hands to DisplayInitVQT; packed, as callers
// outside the program may rely on its layout.
#pragma pack(push, 1)
struct ConnectionStatus {
    uint16_t reserved = 0;      // never written or read
    int32_t connected = 0;      // 1 after a good version read, 0 after any failure
    int32_t connectionType = 0; // set to 4 by every Device action; not read
};
#pragma pack(pop)
static_assert(sizeof(ConnectionStatus) == 10);

} // namespace connect
