#pragma once
// Bits a message occupies on its bus, for the bus load figure.
//
// CAN frames are counted at the worst case of bit stuffing: a stuff bit after
// every four bits of the stuffed part of the frame, as in the usual
// worst-case formula 8n + 67 + floor((54 + 8n - 1) / 4) for a 29-bit
// identifier (8n + 47 + floor((34 + 8n - 1) / 4) for an 11-bit one), start
// of frame through the interframe space. Real traffic stuffs less, so the
// load shown is an upper bound and never understates a busy bus.

#include <cstddef>
#include <cstdint>

namespace monitor {

// One CAN frame of dataLength bytes (0-8).
uint32_t canFrameBitsWorstCase(bool extendedId, std::size_t dataLength);

// A J1939 message as the driver delivers it: up to 8 bytes is one frame;
// longer messages crossed the bus as a transport session, counted as one
// connection-management frame plus one 8-byte data frame per 7 bytes.
uint32_t j1939MessageBits(std::size_t dataLength);

// A J1708 message of MID plus dataLength bytes: 10 bits per character
// (start, 8 data, stop), the checksum character, and the 12 idle bit times
// that separate messages.
uint32_t j1708MessageBits(std::size_t dataLength);

inline constexpr uint32_t kJ1708BitRate = 9600;

// Load in percent of bitRate for bits carried over seconds; 0 when either is
// not positive.
double busLoadPercent(uint64_t bits, double seconds, uint32_t bitRate);

} // namespace monitor
