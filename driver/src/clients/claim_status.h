// A J1939 client's claim as the hardware status shows it.
#pragma once

#include "clients/client.h"

#include <cstdint>

namespace zt {

// The client's claim state and its claimed address (254 when none).
j1939::ClaimState claimStateOf(Client& c, uint8_t& address);

// The status byte's claim values: 0 none, 1 claimed, 2 lost, 3 failed, 4 claiming.
uint8_t claimStatusByte(j1939::ClaimState s);

} // namespace zt
