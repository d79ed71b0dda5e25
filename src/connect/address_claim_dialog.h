#pragma once
#include <array>
#include <cstdint>
#include <optional>

class QWidget;

namespace connect {

// Asks the user for the J1939 address and NAME to claim; the ten bytes of
// the protect-address command on OK, nothing on Cancel.
std::optional<std::array<uint8_t, 10>> runAddressClaimDialog(QWidget* parent);

} // namespace connect
