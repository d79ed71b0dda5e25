#pragma once
// The standard's own structures, decoded without a DBC: the NAME of an
// address claim, Request, Acknowledgment, the DM1/DM2 lamps and codes, the
// identification strings and the transport protocol's frames.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace decode {

struct Name {
    uint32_t identityNumber = 0;   // 21 bits
    uint16_t manufacturerCode = 0; // 11 bits
    uint8_t ecuInstance = 0;       // 3 bits
    uint8_t functionInstance = 0;  // 5 bits
    uint8_t function = 0;
    uint8_t vehicleSystem = 0;         // 7 bits
    uint8_t vehicleSystemInstance = 0; // 4 bits
    uint8_t industryGroup = 0;         // 3 bits
    bool arbitraryAddressCapable = false;
};

Name splitName(uint64_t name);
uint64_t joinName(const Name& name);
// The 8 bytes of a NAME, least significant first; missing bytes read as 0.
uint64_t nameFromBytes(std::span<const uint8_t> bytes);

// A lamp of DM1/DM2: its status with its flash code.
enum class LampState : uint8_t { Off, On, FlashSlow, FlashFast, Error, NotAvailable };
std::string_view lampStateText(LampState state);

struct Lamps {
    LampState mil = LampState::Off;
    LampState redStop = LampState::Off;
    LampState amberWarning = LampState::Off;
    LampState protect = LampState::Off;
};

struct Dtc {
    uint32_t spn = 0;            // 19 bits
    uint8_t fmi = 0;             // 5 bits
    uint8_t occurrenceCount = 0; // 7 bits
    bool conversionMethod = false;
    bool operator==(const Dtc&) const = default;
};

struct DiagnosticCodes {
    Lamps lamps;
    std::vector<Dtc> codes; // empty: no code
};

// DM1 and DM2 (and the other lists of the same layout): nullopt when there
// are not even the two lamp bytes. An all-zero code means "no code" and an
// all-0xFF one is padding; neither is listed.
std::optional<DiagnosticCodes> decodeDm1Layout(std::span<const uint8_t> data);
std::vector<uint8_t> encodeDm1Layout(const DiagnosticCodes& codes);

// The failure mode identifier's meaning, "" outside 0..31.
std::string_view fmiText(uint8_t fmi);

// VIN, Component ID and ECU Identification: the text split at '*', a final
// '*' ending the last field; padding 0x00/0xFF at the end dropped, and bytes
// that are no printable ASCII shown as '.'.
std::vector<std::string> splitIdFields(std::span<const uint8_t> data);
// Software ID: the first byte counts the fields that follow.
std::vector<std::string> splitSoftwareId(std::span<const uint8_t> data);

struct Acknowledgment {
    uint8_t control = 0; // 0 positive, 1 negative, 2 access denied, 3 cannot respond
    uint8_t groupFunction = 0;
    uint8_t address = 0;
    uint32_t pgn = 0;
};
std::optional<Acknowledgment> decodeAcknowledgment(std::span<const uint8_t> data);
std::string_view acknowledgmentControlText(uint8_t control);

// The PGN a Request asks for (3 bytes, least significant first).
std::optional<uint32_t> requestedPgn(std::span<const uint8_t> data);

enum class TpCmKind : uint8_t { Rts, Cts, EndOfMsgAck, Bam, Abort, Unknown };

struct TpConnectionManagement {
    TpCmKind kind = TpCmKind::Unknown;
    uint8_t control = 0;
    uint16_t totalSize = 0;    // RTS, EoMA, BAM
    uint8_t totalPackets = 0;  // RTS, EoMA, BAM
    uint8_t maxPackets = 0;    // RTS: packets per CTS (0xFF: no limit)
    uint8_t packetsToSend = 0; // CTS
    uint8_t nextPacket = 0;    // CTS
    uint8_t abortReason = 0;   // Abort
    uint32_t pgn = 0;          // the PGN carried
};
std::optional<TpConnectionManagement> decodeTpCm(std::span<const uint8_t> data);
std::string_view tpAbortReasonText(uint8_t reason);
// One line: "RTS 20 bytes in 3 packets of PGN 65260", "Abort: ..."
std::string describeTpCm(const TpConnectionManagement& cm);

// A name/value row of a built-in structure, for a monitor's expanded row.
struct BuiltinField {
    std::string name;
    std::string value;
};

// The structure's name for a PGN decoded here, "" for any other.
std::string_view builtinMessageName(uint32_t pgn);
// Appends the structure's rows to out; false when the PGN is not built in
// (then out is unchanged).
bool decodeBuiltin(uint32_t pgn, std::span<const uint8_t> data, std::vector<BuiltinField>& out);

} // namespace decode
