#pragma once
// Reading and writing a transmit configuration file on disk.

#include "transmit/transmit_config.h"

#include <QString>

namespace transmit {

// Longest file the decoder reads: the header and three entries of the
// largest buffer.
inline constexpr std::size_t kTransmitConfigMaxSize =
    kTransmitConfigHeaderSize + kTransmitConfigRows * (kRowEntryHeadSize + kJ1939Capacity);

// Opens and decodes the file; a file that cannot be opened or read is not
// in the format.
TransmitConfigResult readTransmitConfigFile(const QString& path);

// Writes the bytes through a temporary file in the same folder that replaces
// the old file only once it is complete. False when that fails (the old file
// is then untouched); errorText says why.
bool writeTransmitConfigFile(const QString& path, const std::vector<uint8_t>& bytes,
                             QString* errorText = nullptr);

} // namespace transmit
