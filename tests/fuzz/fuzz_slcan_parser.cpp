// Fuzzes the serial-line CAN line parser: any byte stream, cut into chunks
// whose sizes the input chooses, gives the same events as in one piece, and
// every frame it yields is a well-formed CAN frame that encodes and parses
// back to itself.
#include "links/slcan_protocol.h"

#include <cstdlib>

using namespace zt::slcan;

namespace {

bool sameEvents(const std::vector<Event>& a, const std::vector<Event>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind || a[i].statusFlags != b[i].statusFlags ||
            encodeFrame(a[i].frame) != encodeFrame(b[i].frame))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const size_t chunk = data[0] % 16 + 1;
    const std::span<const uint8_t> stream(data + 1, size - 1);

    LineParser whole;
    std::vector<Event> expected;
    whole.feed(stream, expected);

    LineParser chunked;
    std::vector<Event> events;
    for (size_t at = 0; at < stream.size(); at += chunk)
        chunked.feed(stream.subspan(at, std::min(chunk, stream.size() - at)), events);
    if (!sameEvents(events, expected) || chunked.garbageLines() != whole.garbageLines())
        std::abort();

    for (const Event& e : events) {
        if (e.kind != EventKind::Frame)
            continue;
        const zt::CanFrame& f = e.frame;
        if (f.length > 8 || f.id > (f.extended ? 0x1FFFFFFFu : 0x7FFu))
            std::abort();
        const std::string line = encodeFrame(f);
        LineParser again;
        std::vector<Event> back;
        again.feed({reinterpret_cast<const uint8_t*>(line.data()), line.size()}, back);
        if (back.size() != 1 || back[0].kind != EventKind::Frame || encodeFrame(back[0].frame) != line)
            std::abort();
    }
    return 0;
}
