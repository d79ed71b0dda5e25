#pragma once
#include "connect/connection_status.h"

#include <cstdint>

extern "C" {
int32_t DisplayInitVQT(int32_t connectionType, connect::ConnectionStatus* status);
void HideInitVQT();
uint8_t GetCANBitSize();
}
