#pragma once
// Reading and writing the small binary settings files users save and send
// each other.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

// The first maxBytes bytes of the file; nothing when it cannot be opened or
// read. Reading stops there, so a huge file is never taken into memory.
std::optional<std::vector<uint8_t>> readFileStart(const QString& path, std::size_t maxBytes);

// Writes the bytes through a temporary file in the same folder that replaces
// the old file only once it is complete. False when that fails (the old file
// is then untouched); errorText says why.
bool writeFileReplacing(const QString& path, const std::vector<uint8_t>& bytes, QString* errorText = nullptr);

} // namespace platform
