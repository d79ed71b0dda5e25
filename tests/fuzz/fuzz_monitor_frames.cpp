// Fuzzes the Bus Monitor's path from driver receive buffers to its rows: the
// buffer parsers and the message store, with arrival times the input picks
// (going backwards too). Every parsed message is counted once, a snapshot's
// data and change marks stay the same length, and periods are finite.
#include "monitor/bus_frame.h"
#include "monitor/message_store.h"

#include <cmath>
#include <cstdlib>
#include <vector>

using namespace monitor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MessageStore store;
    std::vector<MessageSnapshot> changed;
    uint64_t parsed = 0;
    int64_t timeUs = 0;
    // Each record: a lead byte (bit 7 picks J1708, bit 6 asks for a snapshot,
    // bits 0-5 the buffer length), a signed time step byte, then the buffer.
    size_t at = 0;
    while (at + 2 <= size) {
        const uint8_t lead = data[at];
        const int8_t step = int8_t(data[at + 1]);
        at += 2;
        const size_t length = std::min<size_t>(lead & 0x3F, size - at);
        const std::span<const uint8_t> buffer(data + at, length);
        at += length;
        timeUs += int64_t(step) * 1000;
        const auto frame = (lead & 0x80) ? parseJ1708Buffer(buffer) : parseJ1939Buffer(buffer);
        if (frame) {
            if (frame->data.data() < buffer.data() ||
                frame->data.data() + frame->data.size() > buffer.data() + length)
                std::abort();
            (void)canIdentifier(*frame);
            store.record(*frame, timeUs);
            ++parsed;
        }
        if (lead & 0x40) {
            changed.clear();
            store.takeChanged(changed);
            for (const MessageSnapshot& row : changed) {
                if (row.data.size() != row.byteChangedUs.size() || row.count == 0)
                    std::abort();
                if (row.period.known &&
                    (!std::isfinite(row.period.periodMs) || !std::isfinite(row.period.jitterMs)))
                    std::abort();
            }
        }
    }
    const BusTotals totals = store.totals();
    if (totals.j1939Frames + totals.j1708Frames != parsed || store.rowCount() > MessageStore::kMaxRows)
        std::abort();
    return 0;
}
