// Fuzzes the transmit configuration decoder: any bytes are either refused
// or accepted; what is accepted holds records within their capacity, has a
// summary of at most 255 characters, and encodes to the bytes it was read
// from (but for the revision and the first byte of an empty row's entry),
// which decode to the same records again.
#include "transmit/row_summary.h"
#include "transmit/transmit_config.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

namespace {

using namespace transmit;

bool sameRecord(const TxMessage* a, const TxMessage* b) {
    if (!a || !b)
        return a == b;
    return a->protocol == b->protocol && a->length == b->length && a->broadcastCount == b->broadcastCount &&
           a->delay == b->delay && a->interval == b->interval && a->buffer == b->buffer;
}

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TransmitConfigResult first = decodeTransmitConfig(std::span<const uint8_t>(data, size));
    if (first.error != TransmitConfigError::None) {
        for (const auto& row : first.config.rows)
            check(!row);
        return 0;
    }
    check(first.bytesRead <= size);

    std::array<const TxMessage*, kTransmitConfigRows> rows{};
    for (int i = 0; i < kTransmitConfigRows; ++i) {
        const TxMessage* message = first.config.rows[i].get();
        rows[i] = message;
        if (!message)
            continue;
        check(message->length >= 0 && message->length <= bufferCapacity(message->protocol));
        check(int(message->buffer.size()) == bufferCapacity(message->protocol));
        check(message->sentOnce == 0 && message->lastSentTime == 0);
        check(loadedRowSummary(*message).size() <= kSummaryMax);
    }

    // Byte for byte what was read, except the revision and the first byte of
    // an empty row's entry (any value other than 1, 2 or 3 comes back as FF).
    const std::vector<uint8_t> bytes = encodeTransmitConfig(rows);
    check(bytes.size() == first.bytesRead);
    check(std::memcmp(bytes.data(), data, 8) == 0);
    size_t at = kTransmitConfigHeaderSize;
    for (const TxMessage* message : rows) {
        if (!message) {
            check(bytes[at] == kEmptyRowEntry && (data[at] < 1 || data[at] > 3));
            ++at;
            continue;
        }
        const size_t entrySize = kRowEntryHeadSize + size_t(message->length);
        check(std::memcmp(bytes.data() + at, data + at, entrySize) == 0);
        at += entrySize;
    }
    check(at == bytes.size());

    const TransmitConfigResult second = decodeTransmitConfig(bytes);
    check(second.error == TransmitConfigError::None && second.config.revision == kTransmitConfigRevision);
    for (int i = 0; i < kTransmitConfigRows; ++i)
        check(sameRecord(rows[i], second.config.rows[i].get()));
    return 0;
}
