#include "receive/receive_config_file.h"

#include <QFile>
#include <QSaveFile>

namespace receive {

ReceiveConfigResult readReceiveConfigFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // One byte more than the longest layout is enough to see an overlong file.
    const QByteArray data = file.read(qint64(kReceiveConfigSize) + 1);
    if (file.error() != QFileDevice::NoError)
        return {};
    return decodeReceiveConfig(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.constData()),
                                                        std::size_t(data.size())));
}

bool writeReceiveConfigFile(const QString& path, const ReceiveConfig& config, QString* errorText) {
    const std::vector<uint8_t> bytes = encodeReceiveConfig(config);
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) ==
                             qint64(bytes.size()) &&
                         file.commit();
    if (!written) {
        if (errorText)
            *errorText = file.errorString();
        file.cancelWriting();
    }
    return written;
}

} // namespace receive
