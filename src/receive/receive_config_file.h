#pragma once
// Reading and writing a receive configuration file on disk.

#include "receive/receive_config.h"

#include <QString>

namespace receive {

// Opens and decodes the file; a file that cannot be opened or read is not
// in the format. Reads no more than one byte beyond the longest layout.
ReceiveConfigResult readReceiveConfigFile(const QString& path);

// Writes the configuration through a temporary file in the same folder that
// replaces the old file only once it is complete. False when that fails
// (the old file is then untouched); errorText says why.
bool writeReceiveConfigFile(const QString& path, const ReceiveConfig& config, QString* errorText = nullptr);

} // namespace receive
