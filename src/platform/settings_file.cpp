#include "platform/settings_file.h"

#include <QFile>
#include <QSaveFile>

namespace platform {

std::optional<std::vector<uint8_t>> readFileStart(const QString& path, std::size_t maxBytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.read(qint64(maxBytes));
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return std::vector<uint8_t>(data.begin(), data.end());
}

bool writeFileReplacing(const QString& path, const std::vector<uint8_t>& bytes, QString* errorText) {
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

} // namespace platform
