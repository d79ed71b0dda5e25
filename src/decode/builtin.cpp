#include "decode/builtin.h"

#include "decode/pgns.h"

#include <array>
#include <cstdio>

namespace decode {

namespace {

uint32_t read24(std::span<const uint8_t> d, std::size_t at) {
    return d[at] | (uint32_t{d[at + 1]} << 8) | (uint32_t{d[at + 2]} << 16);
}

uint16_t read16(std::span<const uint8_t> d, std::size_t at) {
    return static_cast<uint16_t>(d[at] | (d[at + 1] << 8));
}

std::string hexBytes(std::span<const uint8_t> d) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(d.size() * 3);
    for (uint8_t b : d) {
        if (!s.empty())
            s += ' ';
        s += kDigits[b >> 4];
        s += kDigits[b & 0xF];
    }
    return s;
}

std::string hexNumber(uint64_t value, int digits) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%0*llX", digits, static_cast<unsigned long long>(value));
    return buf;
}

std::string pgnText(uint32_t pgn) {
    std::string s = std::to_string(pgn);
    if (auto name = builtinMessageName(pgn); !name.empty()) {
        s += " (";
        s += name;
        s += ')';
    }
    return s;
}

LampState lampState(uint8_t status, uint8_t flash) {
    switch (status) {
    case 0:
        return LampState::Off;
    case 1:
        return flash == 0 ? LampState::FlashSlow : flash == 1 ? LampState::FlashFast : LampState::On;
    case 2:
        return LampState::Error;
    default:
        return LampState::NotAvailable;
    }
}

void encodeLamp(LampState state, int shift, uint8_t& status, uint8_t& flash) {
    uint8_t s = 0, f = 3;
    switch (state) {
    case LampState::Off:
        break;
    case LampState::On:
        s = 1;
        break;
    case LampState::FlashSlow:
        s = 1, f = 0;
        break;
    case LampState::FlashFast:
        s = 1, f = 1;
        break;
    case LampState::Error:
        s = 2;
        break;
    case LampState::NotAvailable:
        s = 3;
        break;
    }
    status = static_cast<uint8_t>(status & ~(3 << shift)) | static_cast<uint8_t>(s << shift);
    flash = static_cast<uint8_t>(flash & ~(3 << shift)) | static_cast<uint8_t>(f << shift);
}

std::string printable(std::span<const uint8_t> bytes) {
    std::string s;
    s.reserve(bytes.size());
    for (uint8_t b : bytes)
        s += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
    return s;
}

void addField(std::vector<BuiltinField>& out, std::string name, std::string value) {
    out.push_back({std::move(name), std::move(value)});
}

void addNameFields(std::span<const uint8_t> data, std::vector<BuiltinField>& out) {
    const uint64_t raw = nameFromBytes(data);
    const Name n = splitName(raw);
    addField(out, "NAME", hexNumber(raw, 16));
    addField(out, "Identity number", std::to_string(n.identityNumber));
    addField(out, "Manufacturer code", std::to_string(n.manufacturerCode));
    addField(out, "ECU instance", std::to_string(n.ecuInstance));
    addField(out, "Function instance", std::to_string(n.functionInstance));
    addField(out, "Function", std::to_string(n.function));
    addField(out, "Vehicle system", std::to_string(n.vehicleSystem));
    addField(out, "Vehicle system instance", std::to_string(n.vehicleSystemInstance));
    addField(out, "Industry group", std::to_string(n.industryGroup));
    addField(out, "Arbitrary address capable", n.arbitraryAddressCapable ? "Yes" : "No");
}

void addNamedFields(const std::vector<std::string>& fields, std::span<const std::string_view> names,
                    std::vector<BuiltinField>& out) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::string name = i < names.size() ? std::string(names[i]) : "Field " + std::to_string(i + 1);
        addField(out, std::move(name), fields[i]);
    }
}

} // namespace

Name splitName(uint64_t raw) {
    Name n;
    n.identityNumber = static_cast<uint32_t>(raw & 0x1FFFFF);
    n.manufacturerCode = static_cast<uint16_t>((raw >> 21) & 0x7FF);
    n.ecuInstance = static_cast<uint8_t>((raw >> 32) & 0x7);
    n.functionInstance = static_cast<uint8_t>((raw >> 35) & 0x1F);
    n.function = static_cast<uint8_t>(raw >> 40);
    n.vehicleSystem = static_cast<uint8_t>((raw >> 49) & 0x7F);
    n.vehicleSystemInstance = static_cast<uint8_t>((raw >> 56) & 0xF);
    n.industryGroup = static_cast<uint8_t>((raw >> 60) & 0x7);
    n.arbitraryAddressCapable = (raw >> 63) & 1;
    return n;
}

uint64_t joinName(const Name& n) {
    return (uint64_t{n.identityNumber} & 0x1FFFFF) | ((uint64_t{n.manufacturerCode} & 0x7FF) << 21) |
           ((uint64_t{n.ecuInstance} & 0x7) << 32) | ((uint64_t{n.functionInstance} & 0x1F) << 35) |
           (uint64_t{n.function} << 40) | ((uint64_t{n.vehicleSystem} & 0x7F) << 49) |
           ((uint64_t{n.vehicleSystemInstance} & 0xF) << 56) | ((uint64_t{n.industryGroup} & 0x7) << 60) |
           (uint64_t{n.arbitraryAddressCapable} << 63);
}

uint64_t nameFromBytes(std::span<const uint8_t> bytes) {
    uint64_t raw = 0;
    for (std::size_t i = 0; i < 8 && i < bytes.size(); ++i)
        raw |= uint64_t{bytes[i]} << (8 * i);
    return raw;
}

std::string_view lampStateText(LampState state) {
    switch (state) {
    case LampState::Off:
        return "off";
    case LampState::On:
        return "on";
    case LampState::FlashSlow:
        return "flashing slowly";
    case LampState::FlashFast:
        return "flashing fast";
    case LampState::Error:
        return "error";
    case LampState::NotAvailable:
        return "n/a";
    }
    return {};
}

std::optional<DiagnosticCodes> decodeDm1Layout(std::span<const uint8_t> data) {
    if (data.size() < 2)
        return std::nullopt;
    DiagnosticCodes result;
    const uint8_t status = data[0], flash = data[1];
    result.lamps.mil = lampState((status >> 6) & 3, (flash >> 6) & 3);
    result.lamps.redStop = lampState((status >> 4) & 3, (flash >> 4) & 3);
    result.lamps.amberWarning = lampState((status >> 2) & 3, (flash >> 2) & 3);
    result.lamps.protect = lampState(status & 3, flash & 3);
    for (std::size_t at = 2; at + 4 <= data.size(); at += 4) {
        const uint8_t* c = data.data() + at;
        const bool allZero = (c[0] | c[1] | c[2] | c[3]) == 0;
        const bool allOnes = (c[0] & c[1] & c[2] & c[3]) == 0xFF;
        if (allZero || allOnes)
            continue;
        Dtc dtc;
        dtc.spn = c[0] | (uint32_t{c[1]} << 8) | (static_cast<uint32_t>(c[2] >> 5) << 16);
        dtc.fmi = c[2] & 0x1F;
        dtc.conversionMethod = c[3] >> 7;
        dtc.occurrenceCount = c[3] & 0x7F;
        result.codes.push_back(dtc);
    }
    return result;
}

std::vector<uint8_t> encodeDm1Layout(const DiagnosticCodes& codes) {
    uint8_t status = 0, flash = 0xFF;
    encodeLamp(codes.lamps.mil, 6, status, flash);
    encodeLamp(codes.lamps.redStop, 4, status, flash);
    encodeLamp(codes.lamps.amberWarning, 2, status, flash);
    encodeLamp(codes.lamps.protect, 0, status, flash);
    std::vector<uint8_t> out{status, flash};
    for (const Dtc& d : codes.codes) {
        out.push_back(static_cast<uint8_t>(d.spn));
        out.push_back(static_cast<uint8_t>(d.spn >> 8));
        out.push_back(static_cast<uint8_t>(((d.spn >> 16) & 0x7) << 5 | (d.fmi & 0x1F)));
        out.push_back(static_cast<uint8_t>((d.conversionMethod ? 0x80 : 0) | (d.occurrenceCount & 0x7F)));
    }
    if (codes.codes.empty())
        out.insert(out.end(), {0, 0, 0, 0, 0xFF, 0xFF});
    return out;
}

std::string_view fmiText(uint8_t fmi) {
    static constexpr std::array<std::string_view, 32> kTexts = {
        "Data valid but above normal operational range - most severe level",
        "Data valid but below normal operational range - most severe level",
        "Data erratic, intermittent or incorrect",
        "Voltage above normal, or shorted to high source",
        "Voltage below normal, or shorted to low source",
        "Current below normal or open circuit",
        "Current above normal or grounded circuit",
        "Mechanical system not responding or out of adjustment",
        "Abnormal frequency or pulse width or period",
        "Abnormal update rate",
        "Abnormal rate of change",
        "Root cause not known",
        "Bad intelligent device or component",
        "Out of calibration",
        "Special instructions",
        "Data valid but above normal operating range - least severe level",
        "Data valid but above normal operating range - moderately severe level",
        "Data valid but below normal operating range - least severe level",
        "Data valid but below normal operating range - moderately severe level",
        "Received network data in error",
        "Data drifted high",
        "Data drifted low",
        "Reserved",
        "Reserved",
        "Reserved",
        "Reserved",
        "Reserved",
        "Reserved",
        "Reserved",
        "Reserved",
        "Reserved",
        "Condition exists",
    };
    return fmi < kTexts.size() ? kTexts[fmi] : std::string_view{};
}

std::vector<std::string> splitIdFields(std::span<const uint8_t> data) {
    std::size_t end = data.size();
    while (end > 0 && (data[end - 1] == 0x00 || data[end - 1] == 0xFF))
        --end;
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t i = 0; i < end; ++i) {
        if (data[i] == '*') {
            fields.push_back(printable(data.subspan(start, i - start)));
            start = i + 1;
        }
    }
    if (start < end)
        fields.push_back(printable(data.subspan(start, end - start)));
    return fields;
}

std::vector<std::string> splitSoftwareId(std::span<const uint8_t> data) {
    if (data.empty())
        return {};
    std::vector<std::string> fields = splitIdFields(data.subspan(1));
    if (fields.size() > data[0])
        fields.resize(data[0]);
    return fields;
}

std::optional<Acknowledgment> decodeAcknowledgment(std::span<const uint8_t> data) {
    if (data.size() < 8)
        return std::nullopt;
    return Acknowledgment{data[0], data[1], data[4], read24(data, 5)};
}

std::string_view acknowledgmentControlText(uint8_t control) {
    switch (control) {
    case 0:
        return "Positive";
    case 1:
        return "Negative";
    case 2:
        return "Access denied";
    case 3:
        return "Cannot respond";
    default:
        return "Reserved";
    }
}

std::optional<uint32_t> requestedPgn(std::span<const uint8_t> data) {
    if (data.size() < 3)
        return std::nullopt;
    return read24(data, 0);
}

std::optional<TpConnectionManagement> decodeTpCm(std::span<const uint8_t> data) {
    if (data.size() < 8)
        return std::nullopt;
    TpConnectionManagement cm;
    cm.control = data[0];
    cm.pgn = read24(data, 5);
    switch (data[0]) {
    case 16:
        cm.kind = TpCmKind::Rts;
        cm.totalSize = read16(data, 1);
        cm.totalPackets = data[3];
        cm.maxPackets = data[4];
        break;
    case 17:
        cm.kind = TpCmKind::Cts;
        cm.packetsToSend = data[1];
        cm.nextPacket = data[2];
        break;
    case 19:
        cm.kind = TpCmKind::EndOfMsgAck;
        cm.totalSize = read16(data, 1);
        cm.totalPackets = data[3];
        break;
    case 32:
        cm.kind = TpCmKind::Bam;
        cm.totalSize = read16(data, 1);
        cm.totalPackets = data[3];
        break;
    case 255:
        cm.kind = TpCmKind::Abort;
        cm.abortReason = data[1];
        break;
    default:
        cm.kind = TpCmKind::Unknown;
        break;
    }
    return cm;
}

std::string_view tpAbortReasonText(uint8_t reason) {
    switch (reason) {
    case 1:
        return "already in a connection, cannot support another";
    case 2:
        return "resources needed for another task";
    case 3:
        return "timeout";
    case 4:
        return "CTS received while data transfer in progress";
    case 5:
        return "maximum retransmit requests reached";
    case 6:
        return "unexpected data transfer packet";
    case 7:
        return "bad sequence number";
    case 8:
        return "duplicate sequence number";
    case 9:
        return "message larger than 1785 bytes";
    case 250:
        return "other reason";
    default:
        return "reserved reason";
    }
}

std::string describeTpCm(const TpConnectionManagement& cm) {
    const std::string pgn = "PGN " + pgnText(cm.pgn);
    const std::string size = std::to_string(cm.totalSize) + " bytes in " + std::to_string(cm.totalPackets) +
                             (cm.totalPackets == 1 ? " packet" : " packets");
    switch (cm.kind) {
    case TpCmKind::Rts:
        return "RTS " + size + " of " + pgn +
               (cm.maxPackets == 0xFF ? std::string{}
                                      : ", up to " + std::to_string(cm.maxPackets) + " per CTS");
    case TpCmKind::Cts:
        return "CTS " + std::to_string(cm.packetsToSend) + " packets from " + std::to_string(cm.nextPacket) +
               " of " + pgn;
    case TpCmKind::EndOfMsgAck:
        return "EoMA " + size + " of " + pgn;
    case TpCmKind::Bam:
        return "BAM " + size + " of " + pgn;
    case TpCmKind::Abort:
        return "Abort " + pgn + ": " + std::string(tpAbortReasonText(cm.abortReason)) + " (" +
               std::to_string(cm.abortReason) + ")";
    case TpCmKind::Unknown:
        break;
    }
    return "Control " + std::to_string(cm.control) + " of " + pgn;
}

std::string_view builtinMessageName(uint32_t pgn) {
    switch (pgn) {
    case kPgnAcknowledgment:
        return "Acknowledgment";
    case kPgnRequest:
        return "Request";
    case kPgnTpDt:
        return "TP.DT";
    case kPgnTpCm:
        return "TP.CM";
    case kPgnAddressClaimed:
        return "Address Claimed";
    case kPgnEcuId:
        return "ECU Identification";
    case kPgnDm1:
        return "DM1 Active Diagnostic Trouble Codes";
    case kPgnDm2:
        return "DM2 Previously Active Diagnostic Trouble Codes";
    case kPgnDm3:
        return "DM3 Clear Previously Active DTCs";
    case kPgnDm11:
        return "DM11 Clear Active DTCs";
    case kPgnCommandedAddress:
        return "Commanded Address";
    case kPgnSoftwareId:
        return "Software Identification";
    case kPgnComponentId:
        return "Component Identification";
    case kPgnVin:
        return "Vehicle Identification";
    default:
        return {};
    }
}

bool decodeBuiltin(uint32_t pgn, std::span<const uint8_t> data, std::vector<BuiltinField>& out) {
    switch (pgn) {
    case kPgnAddressClaimed:
        addNameFields(data, out);
        return true;
    case kPgnCommandedAddress:
        addNameFields(data, out);
        if (data.size() >= 9)
            addField(out, "New address", std::to_string(data[8]));
        return true;
    case kPgnRequest:
        if (auto requested = requestedPgn(data))
            addField(out, "Requested PGN", pgnText(*requested));
        return true;
    case kPgnAcknowledgment:
        if (auto ack = decodeAcknowledgment(data)) {
            addField(out, "Control",
                     std::string(acknowledgmentControlText(ack->control)) + " (" +
                         std::to_string(ack->control) + ")");
            addField(out, "Group function", std::to_string(ack->groupFunction));
            addField(out, "Address", std::to_string(ack->address));
            addField(out, "PGN", pgnText(ack->pgn));
        }
        return true;
    case kPgnDm1:
    case kPgnDm2:
        if (auto dm = decodeDm1Layout(data)) {
            addField(out, "Malfunction indicator lamp", std::string(lampStateText(dm->lamps.mil)));
            addField(out, "Red stop lamp", std::string(lampStateText(dm->lamps.redStop)));
            addField(out, "Amber warning lamp", std::string(lampStateText(dm->lamps.amberWarning)));
            addField(out, "Protect lamp", std::string(lampStateText(dm->lamps.protect)));
            addField(out, "Codes", std::to_string(dm->codes.size()));
            for (std::size_t i = 0; i < dm->codes.size(); ++i) {
                const Dtc& d = dm->codes[i];
                addField(out, "DTC " + std::to_string(i + 1),
                         "SPN " + std::to_string(d.spn) + " FMI " + std::to_string(d.fmi) + " (" +
                             std::string(fmiText(d.fmi)) + "), occurred " +
                             std::to_string(d.occurrenceCount) + "x");
            }
        }
        return true;
    case kPgnDm3:
    case kPgnDm11:
        return true;
    case kPgnVin: {
        auto fields = splitIdFields(data);
        addField(out, "VIN", fields.empty() ? std::string{} : fields.front());
        return true;
    }
    case kPgnComponentId: {
        static constexpr std::string_view kNames[] = {"Make", "Model", "Serial number", "Unit number"};
        addNamedFields(splitIdFields(data), kNames, out);
        return true;
    }
    case kPgnEcuId: {
        static constexpr std::string_view kNames[] = {"ECU part number",  "ECU serial number",
                                                      "ECU location",     "ECU type",
                                                      "ECU manufacturer", "ECU hardware ID"};
        addNamedFields(splitIdFields(data), kNames, out);
        return true;
    }
    case kPgnSoftwareId: {
        auto fields = splitSoftwareId(data);
        for (std::size_t i = 0; i < fields.size(); ++i)
            addField(out, "Software " + std::to_string(i + 1), fields[i]);
        return true;
    }
    case kPgnTpCm:
        if (auto cm = decodeTpCm(data))
            addField(out, "Frame", describeTpCm(*cm));
        return true;
    case kPgnTpDt:
        if (!data.empty()) {
            addField(out, "Sequence", std::to_string(data[0]));
            addField(out, "Data", hexBytes(data.subspan(1)));
        }
        return true;
    default:
        return false;
    }
}

} // namespace decode
