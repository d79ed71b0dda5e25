#include "transmit/transmit_config_file.h"

#include <QFile>
#include <QSaveFile>

namespace transmit {

TransmitConfigResult readTransmitConfigFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.read(qint64(kTransmitConfigMaxSize));
    if (file.error() != QFileDevice::NoError)
        return {};
    return decodeTransmitConfig(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.constData()),
                                                         std::size_t(data.size())));
}

bool writeTransmitConfigFile(const QString& path, const std::vector<uint8_t>& bytes, QString* errorText) {
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

} // namespace transmit
