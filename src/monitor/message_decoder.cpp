#include "monitor/message_decoder.h"

#include "decode/builtin.h"
#include "decode/j1587.h"
#include "decode/signal_database.h"
#include "decode/signal_decode.h"

namespace monitor {

namespace {

QString hexRaw(uint64_t raw) {
    return QStringLiteral("0x") + QString::number(raw, 16).toUpper();
}

QString hexText(std::span<const uint8_t> bytes) {
    QString text;
    for (uint8_t byte : bytes) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

QString midName(uint32_t mid) {
    switch (mid) {
    case 128:
        return QStringLiteral("Engine #1");
    case 130:
        return QStringLiteral("Transmission");
    case 136:
        return QStringLiteral("Brakes, power unit");
    case 140:
        return QStringLiteral("Instrument cluster");
    default:
        return QStringLiteral("MID %1").arg(mid);
    }
}

void decodeJ1587(std::span<const uint8_t> data, std::vector<SignalRow>& out) {
    for (const decode::J1587Parameter& parameter : decode::splitJ1587(data)) {
        SignalRow row;
        row.name = parameter.pid >= 256 ? QStringLiteral("PID %1 (page 2)").arg(parameter.pid - 256)
                                        : QStringLiteral("PID %1").arg(parameter.pid);
        row.raw = hexText(parameter.data);
        if (!parameter.complete) {
            row.value = QStringLiteral("incomplete");
        } else if (parameter.pid == decode::kJ1587PidDiagnosticCodes) {
            QStringList codes;
            for (const decode::J1587Dtc& dtc : decode::decodeJ1587Dtcs(parameter.data))
                codes << QStringLiteral("%1 %2 FMI %3%4")
                             .arg(dtc.isSid ? QStringLiteral("SID") : QStringLiteral("PID"))
                             .arg(dtc.pidOrSid)
                             .arg(dtc.fmi)
                             .arg(dtc.active ? QString() : QStringLiteral(" (inactive)"));
            row.value = codes.isEmpty() ? QStringLiteral("no codes") : codes.join(QStringLiteral("; "));
        } else if (parameter.data.size() <= 2) {
            // Fixed one- and two-byte parameters are numbers, least significant byte first.
            uint32_t number = 0;
            for (std::size_t i = 0; i < parameter.data.size(); ++i)
                number |= uint32_t(parameter.data[i]) << (8 * i);
            row.number = number;
            row.plottable = true;
            row.value = QString::number(number);
        } else {
            row.value = row.raw;
        }
        out.push_back(std::move(row));
    }
}

} // namespace

QString MessageDecoder::messageName(const MessageKey& key) const {
    if (key.protocol == BusProtocol::J1708)
        return midName(key.id);
    if (database_)
        if (const decode::MessageDef* def = database_->findJ1939(key.id))
            return QString::fromStdString(def->name);
    return QString::fromUtf8(decode::builtinMessageName(key.id));
}

bool MessageDecoder::hasSignals(const MessageKey& key) const {
    if (key.protocol == BusProtocol::J1708)
        return true;
    if (database_)
        if (const decode::MessageDef* def = database_->findJ1939(key.id))
            return !def->signalDefs.empty();
    return !decode::builtinMessageName(key.id).empty();
}

QStringList MessageDecoder::signalNames(const MessageKey& key) const {
    QStringList names;
    if (key.protocol == BusProtocol::J1939 && database_)
        if (const decode::MessageDef* def = database_->findJ1939(key.id))
            for (const decode::SignalDef& signal : def->signalDefs)
                names << QString::fromStdString(signal.name);
    return names;
}

void MessageDecoder::decode(const MessageKey& key, std::span<const uint8_t> data,
                            std::vector<SignalRow>& out) const {
    if (key.protocol == BusProtocol::J1708) {
        // Drivers that deliver the line's checksum as the last byte: MID to
        // checksum sum to 0 modulo 256. The checksum is no parameter.
        unsigned sum = key.id;
        for (uint8_t byte : data)
            sum += byte;
        decodeJ1587(!data.empty() && (sum & 0xFF) == 0 ? data.first(data.size() - 1) : data, out);
        return;
    }
    if (database_) {
        if (const decode::MessageDef* def = database_->findJ1939(key.id)) {
            std::vector<decode::DecodedSignal> decoded;
            decode::decodeMessage(*def, data, decoded);
            for (const decode::DecodedSignal& signal : decoded) {
                SignalRow row;
                row.name = QString::fromStdString(signal.def->name);
                row.value = QString::fromStdString(decode::formatValue(signal));
                row.unit = QString::fromStdString(signal.def->unit);
                row.raw = hexRaw(signal.raw);
                row.number = signal.value;
                row.plottable = signal.availability == decode::Availability::Valid;
                out.push_back(std::move(row));
            }
            return;
        }
    }
    std::vector<decode::BuiltinField> fields;
    if (!decode::decodeBuiltin(key.id, data, fields))
        return;
    for (const decode::BuiltinField& field : fields) {
        SignalRow row;
        row.name = QString::fromStdString(field.name);
        row.value = QString::fromStdString(field.value);
        out.push_back(std::move(row));
    }
}

} // namespace monitor
