#pragma once
// The transmit configuration file (*.zttxc): the messages of rows 1 to 3
// with their schedules, as bytes. Pure functions on bytes, so the loader can
// be tested and fuzzed without a window.

#include "transmit/tx_message.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace transmit {

inline constexpr char kTransmitConfigMagic[7] = {'Z', 'T', 'R', 'P', 'A', 'T', 'X'};
inline constexpr uint32_t kTransmitConfigRevision = 288;
inline constexpr std::size_t kTransmitConfigHeaderSize = 12;
// Rows kept in the file (rows 1 to 3).
inline constexpr int kTransmitConfigRows = 3;
// First byte of an empty row's entry.
inline constexpr uint8_t kEmptyRowEntry = 0xFF;
// Protocol byte, length, broadcast count, delay, interval.
inline constexpr std::size_t kRowEntryHeadSize = 9;

enum class TransmitConfigError {
    None,
    // Not a transmit configuration: shorter than its header, foreign magic,
    // ending inside a row entry, or a row length outside 0 to its
    // protocol's buffer capacity.
    NotInFormat,
    // The magic matches but the compatibility byte is not 0.
    IncompatibleVersion,
};

struct TransmitConfig {
    uint32_t revision = kTransmitConfigRevision; // read, not examined
    // Complete records (sentOnce clear, buffer of full capacity); null for
    // an empty row.
    std::array<std::unique_ptr<TxMessage>, kTransmitConfigRows> rows;
};

struct TransmitConfigResult {
    TransmitConfigError error = TransmitConfigError::NotInFormat;
    TransmitConfig config;     // meaningful only when error is None
    std::size_t bytesRead = 0; // where the third row entry ends; later bytes are ignored
};

// Header of revision 288, then each row's entry: 0xFF for an empty row (or a
// record of no known protocol), else the record with its length cut to its
// buffer and capacity, so whatever is written can be read back.
std::vector<uint8_t> encodeTransmitConfig(const std::array<const TxMessage*, kTransmitConfigRows>& rows);

// All or nothing: either every row decodes or the file is refused. A row
// entry whose first byte is not 1, 2 or 3 is an empty row of one byte.
TransmitConfigResult decodeTransmitConfig(std::span<const uint8_t> bytes);

// The summary of a loaded row, rebuilt from its buffer: always hexadecimal,
// at most kSummaryMax characters however long the record.
std::string loadedRowSummary(const TxMessage& message);

} // namespace transmit
