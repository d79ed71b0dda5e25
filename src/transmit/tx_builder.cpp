#include "transmit/tx_builder.h"

namespace transmit {

QString dataByteText(uint16_t value, bool hexMode) {
    return QString::fromStdString(platform::crtFormat(hexMode ? "%X" : "%d", unsigned(value)));
}

uint16_t parseDataByteText(QString& text, bool hexMode, uint16_t current) {
    fields::cleanHexText(text, hexMode ? 2 : 3);
    const std::string typed = text.toStdString();
    uint16_t value = current;
    if (hexMode)
        platform::scanHex16(typed, value);
    else
        platform::scanUnsigned16(typed, value);
    return value;
}

} // namespace transmit
