#pragma once
// The ten bytes of the J1939 protect-address command: the source address to
// claim, the 64-bit NAME least significant byte first, and the mode byte.

#include <QString>

#include <array>
#include <cstdint>

namespace connect {

// The address claim dialog's values as it stores them: texts in hexadecimal,
// the two small numbers and the list index as numbers.
struct AddressClaimValues {
    QString networkAddress = QStringLiteral("F9");
    int arbitraryAddressCapable = 0; // list index: 1 = "True"
    uint8_t industryGroup = 0;
    QString vehicleSystemInstance = QStringLiteral("0");
    QString vehicleSystem = QStringLiteral("0");
    QString function = QStringLiteral("81");
    QString functionInstance = QStringLiteral("0");
    uint8_t ecuInstance = 0;
    QString manufacturerCode = QStringLiteral("B");
    QString identityNumber = QStringLiteral("1");
};

// Mode byte: block until the claim has been decided, so that the command's
// result tells whether the address was won.
inline constexpr uint8_t kClaimBlockUntilDone = 0;

// Packs the values; each contributes only its low-order bits.
std::array<uint8_t, 10> packAddressClaim(const AddressClaimValues& values);

} // namespace connect
