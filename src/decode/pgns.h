#pragma once
// Parameter group numbers of the structures decoded without a DBC.

#include <cstdint>

namespace decode {

inline constexpr uint32_t kPgnAcknowledgment = 59392;
inline constexpr uint32_t kPgnRequest = 59904;
inline constexpr uint32_t kPgnTpDt = 60160;
inline constexpr uint32_t kPgnTpCm = 60416;
inline constexpr uint32_t kPgnAddressClaimed = 60928;
inline constexpr uint32_t kPgnEcuId = 64965;
inline constexpr uint32_t kPgnDm1 = 65226;
inline constexpr uint32_t kPgnDm2 = 65227;
inline constexpr uint32_t kPgnDm3 = 65228;
inline constexpr uint32_t kPgnDm11 = 65235;
inline constexpr uint32_t kPgnCommandedAddress = 65240;
inline constexpr uint32_t kPgnSoftwareId = 65242;
inline constexpr uint32_t kPgnComponentId = 65259;
inline constexpr uint32_t kPgnVin = 65260;

} // namespace decode
