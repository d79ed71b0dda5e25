// J1939 vocabulary: identifiers, PGNs, NAMEs and the constants of the
// transport protocol and the address claim, named as the standard names them.
#pragma once

#include "support/clock.h"

#include <cstdint>

namespace zt::j1939 {

constexpr uint8_t kGlobalAddress = 255;
constexpr uint8_t kNullAddress = 254; // source of Cannot Claim
constexpr uint8_t kDefaultPriority = 6;
constexpr uint32_t kMaxPgn = 0x3FFFF;

namespace pgn {
constexpr uint32_t kRequest = 0xEA00;
constexpr uint32_t kAddressClaimed = 0xEE00;
constexpr uint32_t kTpConnectionManagement = 0xEC00; // TP.CM
constexpr uint32_t kTpDataTransfer = 0xEB00;         // TP.DT
} // namespace pgn

// PDU1 (PF below 240): the low byte of the identifier is a destination
// address, and the PGN's low byte is 0. PDU2: the low byte is the group
// extension and the message goes to every node.
constexpr bool isPdu1(uint32_t pgn) {
    return ((pgn >> 8) & 0xFF) < 240;
}

// The fields of a 29-bit identifier. For PDU1 the PGN's low byte is 0; for
// PDU2 the destination is global.
struct FrameId {
    uint8_t priority = kDefaultPriority; // 0..7
    uint32_t pgn = 0;                    // 18 bits
    uint8_t source = 0;
    uint8_t destination = kGlobalAddress;
};

constexpr FrameId decodeId(uint32_t id) {
    FrameId f;
    f.priority = static_cast<uint8_t>((id >> 26) & 0x7);
    f.source = static_cast<uint8_t>(id & 0xFF);
    uint32_t pgn = (id >> 8) & kMaxPgn;
    if (isPdu1(pgn)) {
        f.destination = static_cast<uint8_t>(pgn & 0xFF);
        pgn &= ~0xFFu;
    }
    f.pgn = pgn;
    return f;
}

// A PDU1 PGN's low byte is replaced by the destination; PDU2 ignores it.
constexpr uint32_t encodeId(uint8_t priority, uint32_t pgn, uint8_t source, uint8_t destination) {
    pgn &= kMaxPgn;
    if (isPdu1(pgn))
        pgn = (pgn & ~0xFFu) | destination;
    return (uint32_t(priority & 0x7) << 26) | (pgn << 8) | source;
}

constexpr uint32_t encodeId(const FrameId& f) {
    return encodeId(f.priority, f.pgn, f.source, f.destination);
}

// The 64-bit NAME (J1939-81); a lower NAME wins arbitration.
namespace name {
constexpr bool arbitraryAddressCapable(uint64_t name) {
    return (name >> 63) != 0;
}
constexpr uint8_t industryGroup(uint64_t name) {
    return static_cast<uint8_t>((name >> 60) & 0x7);
}
constexpr uint32_t identityNumber(uint64_t name) {
    return static_cast<uint32_t>(name & 0x1FFFFF);
}
constexpr uint16_t manufacturerCode(uint64_t name) {
    return static_cast<uint16_t>((name >> 21) & 0x7FF);
}
} // namespace name

// Addresses a node may use as soon as it has sent its claim; any other
// address waits kClaimWait for contention first.
constexpr bool usableAtOnce(uint8_t address) {
    return address <= 127 || (address >= 248 && address <= 253);
}

constexpr Micros kClaimWait = 250 * kMicrosPerMs;
constexpr uint32_t kCannotClaimMaxDelayMs = 153;

// TP.CM control bytes.
namespace control {
constexpr uint8_t kRts = 0x10;
constexpr uint8_t kCts = 0x11;
constexpr uint8_t kEndOfMessageAck = 0x13;
constexpr uint8_t kBam = 0x20;
constexpr uint8_t kAbort = 0xFF;
} // namespace control

// Connection Abort reasons.
namespace abort_reason {
constexpr uint8_t kAlreadyInSession = 1;
constexpr uint8_t kLackingResources = 2;
constexpr uint8_t kTimeout = 3;
constexpr uint8_t kCtsWhileTransferring = 4;
constexpr uint8_t kRetransmitLimit = 5;
constexpr uint8_t kUnexpectedData = 6;
constexpr uint8_t kBadSequence = 7;
constexpr uint8_t kDuplicateSequence = 8;
constexpr uint8_t kMessageTooLarge = 9;
constexpr uint8_t kOther = 250;
} // namespace abort_reason

// Transport timers.
namespace timeout {
constexpr Micros kTr = 200 * kMicrosPerMs;  // responder's reply time
constexpr Micros kTh = 500 * kMicrosPerMs;  // repeat of a holding CTS
constexpr Micros kT1 = 750 * kMicrosPerMs;  // between data packets
constexpr Micros kT2 = 1250 * kMicrosPerMs; // CTS to first data packet
constexpr Micros kT3 = 1250 * kMicrosPerMs; // last packet or RTS to CTS / EoMA
constexpr Micros kT4 = 1050 * kMicrosPerMs; // holding CTS to the next CTS
constexpr Micros kBamGapMin = 50 * kMicrosPerMs;
constexpr Micros kBamGapMax = 200 * kMicrosPerMs;
} // namespace timeout

constexpr std::size_t kMaxSingleFrame = 8;
constexpr std::size_t kMinTransport = 9;
constexpr std::size_t kMaxTransport = 1785; // 255 packets of 7 bytes
constexpr std::size_t kBytesPerPacket = 7;

constexpr uint8_t packetCount(std::size_t size) {
    return static_cast<uint8_t>((size + kBytesPerPacket - 1) / kBytesPerPacket);
}

} // namespace zt::j1939
