#include "transmit/transmit_config.h"

#include "platform/crt_format.h"
#include "transmit/row_summary.h"

#include "platform/byte_reader.h"

#include <algorithm>

namespace transmit {

namespace {

using Reader = platform::ByteReader;

void putHalf(std::vector<uint8_t>& bytes, uint16_t value) {
    bytes.push_back(uint8_t(value));
    bytes.push_back(uint8_t(value >> 8));
}

// One row entry with a message; null (a refused file) when it is truncated
// or its length does not fit its protocol's buffer.
std::unique_ptr<TxMessage> readRecord(Reader& reader, uint8_t protocol) {
    uint16_t length = 0, broadcastCount = 0, delay = 0, interval = 0;
    if (!reader.half(length) || !reader.half(broadcastCount) || !reader.half(delay) || !reader.half(interval))
        return nullptr;
    auto message = newTxMessage(protocol);
    const int16_t signedLength = static_cast<int16_t>(length);
    if (signedLength < 0 || signedLength > bufferCapacity(protocol))
        return nullptr;
    message->length = signedLength;
    message->broadcastCount = static_cast<int16_t>(broadcastCount);
    message->delay = delay;
    message->interval = interval;
    if (!reader.block(message->buffer.data(), std::size_t(signedLength)))
        return nullptr;
    return message;
}

bool knownProtocol(int32_t protocol) {
    return protocol == kJ1708 || protocol == kJ1850 || protocol == kJ1939;
}

} // namespace

std::vector<uint8_t> encodeTransmitConfig(const std::array<const TxMessage*, kTransmitConfigRows>& rows) {
    std::vector<uint8_t> bytes(std::begin(kTransmitConfigMagic), std::end(kTransmitConfigMagic));
    bytes.push_back(0); // compatibility byte
    for (int i = 0; i < 4; ++i)
        bytes.push_back(uint8_t(kTransmitConfigRevision >> (8 * i)));
    for (const TxMessage* message : rows) {
        if (!message || !knownProtocol(message->protocol)) {
            bytes.push_back(kEmptyRowEntry);
            continue;
        }
        const int limit = std::min<int>(bufferCapacity(message->protocol), int(message->buffer.size()));
        const int length = std::clamp<int>(message->length, 0, limit);
        bytes.push_back(uint8_t(message->protocol));
        putHalf(bytes, uint16_t(length));
        putHalf(bytes, uint16_t(message->broadcastCount));
        putHalf(bytes, message->delay);
        putHalf(bytes, message->interval);
        bytes.insert(bytes.end(), message->buffer.begin(), message->buffer.begin() + length);
    }
    return bytes;
}

TransmitConfigResult decodeTransmitConfig(std::span<const uint8_t> bytes) {
    TransmitConfigResult result;
    if (bytes.size() < kTransmitConfigHeaderSize ||
        !std::equal(std::begin(kTransmitConfigMagic), std::end(kTransmitConfigMagic), bytes.begin()))
        return result;
    if (bytes[7] != 0) {
        result.error = TransmitConfigError::IncompatibleVersion;
        return result;
    }

    Reader reader(bytes.subspan(8));
    reader.word(result.config.revision); // the header is there, so this succeeds
    for (std::unique_ptr<TxMessage>& row : result.config.rows) {
        uint8_t protocol = 0;
        if (!reader.byte(protocol))
            return {}; // nothing half-read is handed back
        if (!knownProtocol(protocol))
            continue; // an empty row: nothing more is read for it
        row = readRecord(reader, protocol);
        if (!row)
            return {};
    }
    result.error = TransmitConfigError::None;
    result.bytesRead = 8 + reader.position();
    return result;
}

std::string loadedRowSummary(const TxMessage& message) {
    const std::vector<uint8_t>& b = message.buffer;
    // Bytes past the buffer read as 0; a record from the decoder always has
    // its full capacity.
    auto at = [&b](int k) -> uint32_t { return k < int(b.size()) ? b[k] : 0; };
    std::string head;
    int firstData = 6;
    switch (message.protocol) {
    case kJ1708:
        head = summaryHead1708(uint8_t(at(1)), uint8_t(at(2)));
        firstData = 3;
        break;
    case kJ1850:
        head = platform::crtFormat("TXJ1850  %06X  ", ((at(3) | 0x08u) << 16) | (at(4) << 8) | at(5));
        break;
    case kJ1939:
        head = platform::crtFormat("TXJ1939  %08X  ", (at(3) << 26) | (at(2) << 24) | (at(1) << 16) |
                                                          ((at(0) | at(5)) << 8) | at(4));
        break;
    default:
        return {};
    }
    const int end = std::min<int>(message.length, int(b.size()));
    // Only as many bytes as can show in a summary: four characters each.
    const int count = std::clamp<int>(end - firstData, 0, int(kSummaryMax / 4) + 1);
    std::vector<uint16_t> values;
    for (int i = 0; i < count; ++i)
        values.push_back(b[firstData + i]);
    return appendDataSummary(std::move(head), values.data(), count);
}

} // namespace transmit
