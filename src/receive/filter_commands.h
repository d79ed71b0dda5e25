#pragma once
// The driver commands the receive filters turn into: J1708 by MID or all
// pass, and the 7-byte J1939 filter record; also the J1939 filter's mask,
// which only shows the identifier bits the ticked criteria cover.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace receive {

// RP1210A command numbers of the filters.
inline constexpr int16_t RP1210_Set_All_Filters_States_to_Pass = 3;
inline constexpr int16_t RP1210_Set_Message_Filtering_For_J1939 = 4;
inline constexpr int16_t RP1210_Set_Message_Filtering_For_J1708 = 7;

// Filter modes of both filter windows.
inline constexpr int kFilterPass = 0;
inline constexpr int kFilterFilter = 1;

// RP1210A J1939 filter flags: the fields the driver compares.
inline constexpr uint8_t kJ1939FilterPgn = 0x01;
inline constexpr uint8_t kJ1939FilterPriority = 0x02;
inline constexpr uint8_t kJ1939FilterSource = 0x04;
inline constexpr uint8_t kJ1939FilterDestination = 0x08;

// Lowest PDU format of the broadcast (PDU2) messages, whose PS byte is the
// low byte of the PGN.
inline constexpr uint8_t kFirstBroadcastPf = 240;

struct FilterCommand {
    int16_t command = 0;
    std::vector<uint8_t> bytes; // empty: no buffer, length 0
};

// "Filter" (any mode but 0): command 7 with the MID; "Pass": command 3.
FilterCommand j1708FilterCommand(int filterMode, uint8_t mid);

struct J1939FilterCriteria {
    bool usePriority = false;
    bool usePgn = false;
    bool useDestination = false;
    bool useSource = false;
    uint8_t pf = 0;
    uint8_t destination = 0;
    uint8_t page = 0;
    uint8_t priority = 0;
    uint8_t source = 0;
};

using J1939FilterRecord = std::array<uint8_t, 7>;

// Flags, PGN (low, middle, high byte), priority, source, destination. The
// PS byte goes into the PGN for a broadcast PF and into the destination
// otherwise.
J1939FilterRecord j1939FilterRecord(const J1939FilterCriteria& criteria);

// Identifier bits covered: priority 0x1C000000, PGN (PF only) 0x00FF0000,
// destination 0x0000FF00, source 0x000000FF.
uint32_t j1939FilterMask(bool usePriority, bool usePgn, bool useDestination, bool useSource);
// The mask as shown: "%X" in hexadecimal mode, "%d" in decimal mode.
std::string j1939FilterMaskText(uint32_t mask, bool hexMode);

} // namespace receive
