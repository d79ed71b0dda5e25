#include "receive/receive_config_file.h"

#include "platform/settings_file.h"

namespace receive {

ReceiveConfigResult readReceiveConfigFile(const QString& path) {
    // One byte more than the longest layout is enough to see an overlong file.
    const auto data = platform::readFileStart(path, kReceiveConfigSize + 1);
    if (!data)
        return {};
    return decodeReceiveConfig(std::span<const uint8_t>(data->data(), data->size()));
}

bool writeReceiveConfigFile(const QString& path, const ReceiveConfig& config, QString* errorText) {
    return platform::writeFileReplacing(path, encodeReceiveConfig(config), errorText);
}

} // namespace receive
