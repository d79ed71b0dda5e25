#pragma once
// The receive configuration file (*.ztrxc): the protocol boxes of the
// Receive window and both receive filters, as bytes. Pure functions on
// bytes, so the loader can be tested and fuzzed without a window.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace receive {

inline constexpr char kReceiveConfigMagic[7] = {'Z', 'T', 'R', 'P', 'A', 'R', 'X'};
// Revision written; files of revision 288 or lower lack the J1708 filter
// mode, the J1850 box and the J1939 filter mode.
inline constexpr uint32_t kReceiveConfigRevision = 336;
inline constexpr uint32_t kReceiveConfigLastShortRevision = 288;
inline constexpr std::size_t kReceiveConfigHeaderSize = 12;
inline constexpr std::size_t kReceiveConfigSize = 27;
inline constexpr std::size_t kReceiveConfigShortSize = 24;

struct ReceiveConfig {
    uint32_t revision = kReceiveConfigRevision;
    uint8_t j1708Box = 0;
    uint8_t j1708Mid = 0;
    uint8_t j1708FilterMode = 0; // only when hasOptionalFields()
    uint8_t j1850Box = 0;        // only when hasOptionalFields()
    uint8_t j1939Box = 0;
    uint8_t usePriority = 0;
    uint8_t usePgn = 0;
    uint8_t useDestination = 0;
    uint8_t useSource = 0;
    uint8_t pf = 0;
    uint8_t destination = 0;
    uint8_t page = 0;
    uint8_t priority = 0;
    uint8_t source = 0;
    uint8_t j1939FilterMode = 0; // only when hasOptionalFields()

    bool hasOptionalFields() const { return revision > kReceiveConfigLastShortRevision; }
    bool operator==(const ReceiveConfig&) const = default;
};

enum class ReceiveConfigError {
    None,
    // Not a receive configuration: too short, foreign magic, truncated or
    // overlong for its revision, or a field outside its range.
    NotInFormat,
    // The magic matches but the compatibility byte is not 0.
    IncompatibleVersion,
};

struct ReceiveConfigResult {
    ReceiveConfigError error = ReceiveConfigError::NotInFormat;
    ReceiveConfig config; // meaningful only when error is None
};

// The 27 bytes of revision 336 (whatever config.revision says).
std::vector<uint8_t> encodeReceiveConfig(const ReceiveConfig& config);

// Accepts exactly the layout the revision demands: 27 bytes above revision
// 288, 24 bytes otherwise, with every box, criterion and filter mode 0 or
// 1, the page 0 or 1 and the priority 0 to 7. Anything else is refused as
// a whole.
ReceiveConfigResult decodeReceiveConfig(std::span<const uint8_t> bytes);

} // namespace receive
