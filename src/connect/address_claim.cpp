#include "connect/address_claim.h"

#include "fields/hex_text.h"

namespace connect {

std::array<uint8_t, 10> packAddressClaim(const AddressClaimValues& v) {
    using fields::hexValue;
    const uint32_t address = hexValue(v.networkAddress);
    const uint32_t identity = hexValue(v.identityNumber);
    const uint32_t manufacturer = hexValue(v.manufacturerCode);
    const uint32_t functionInstance = hexValue(v.functionInstance);
    const uint32_t function = hexValue(v.function);
    const uint32_t vehicleSystem = hexValue(v.vehicleSystem);
    const uint32_t vehicleInstance = hexValue(v.vehicleSystemInstance);

    std::array<uint8_t, 10> claim{};
    claim[0] = static_cast<uint8_t>(address);
    claim[1] = static_cast<uint8_t>(identity);
    claim[2] = static_cast<uint8_t>(identity >> 8);
    claim[3] = static_cast<uint8_t>(((manufacturer & 0x07) << 5) | ((identity >> 16) & 0x1F));
    claim[4] = static_cast<uint8_t>(manufacturer >> 3);
    claim[5] = static_cast<uint8_t>(((functionInstance & 0x1F) << 3) | (v.ecuInstance & 0x07));
    claim[6] = static_cast<uint8_t>(function);
    claim[7] = static_cast<uint8_t>((vehicleSystem & 0x7F) << 1);
    claim[8] = static_cast<uint8_t>(((v.arbitraryAddressCapable & 0x01) << 7) |
                                    ((v.industryGroup & 0x07) << 4) | (vehicleInstance & 0x0F));
    claim[9] = kClaimBlockUntilDone;
    return claim;
}

} // namespace connect
