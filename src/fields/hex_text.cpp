#include "fields/hex_text.h"

#include "platform/crt_format.h"

namespace fields {

namespace {
bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
}
} // namespace

void cleanHexText(QString& text, int maxLength) {
    if (!text.isEmpty()) {
        text = text.toUpper();
        qsizetype run = 0;
        while (run < text.size() && isHexDigit(text[run]))
            ++run;
        text.truncate(run);
    }
    if (text.isEmpty())
        text = QStringLiteral("0");
    if (maxLength >= 0 && text.size() > maxLength)
        text.truncate(maxLength);
}

QString hexText(uint32_t value) {
    return QString::number(value, 16).toUpper();
}

uint32_t hexValue(const QString& text) {
    uint32_t value = 0;
    platform::scanHex(text.toStdString(), value);
    return value;
}

} // namespace fields
