#include "transmit/transmit_config_file.h"

#include "platform/settings_file.h"

namespace transmit {

TransmitConfigResult readTransmitConfigFile(const QString& path) {
    const auto data = platform::readFileStart(path, kTransmitConfigMaxSize);
    if (!data)
        return {};
    return decodeTransmitConfig(std::span<const uint8_t>(data->data(), data->size()));
}

bool writeTransmitConfigFile(const QString& path, const std::vector<uint8_t>& bytes, QString* errorText) {
    return platform::writeFileReplacing(path, bytes, errorText);
}

} // namespace transmit
