// Fuzzes the J1708 burst splitter and framer: every message handed out sums
// to 0 and has a legal length, the splitter accounts for every byte, and the
// framer's held bytes stay bounded whatever arrives and when.
#include "links/j1708_framing.h"

#include <cstdlib>

using namespace zt::j1708;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> input(data, size);

    const Split split = splitBurst(input);
    size_t covered = 0;
    size_t end = 0;
    for (const Split::Range& m : split.messages) {
        if (m.begin < end || m.end > split.tailBegin ||
            !checksumValid(input.subspan(m.begin, m.end - m.begin)))
            std::abort();
        covered += m.end - m.begin;
        end = m.end;
    }
    if (split.tailBegin > size || covered + split.dropped != split.tailBegin)
        std::abort();

    // The same bytes through the framer, in chunks with gaps the input picks:
    // each chunk is led by a byte giving its length and the gap before it.
    Framer framer;
    std::vector<Framer::Message> out;
    zt::Micros now = 0;
    size_t at = 0;
    size_t delivered = 0;
    while (at < size) {
        const uint8_t control = data[at++];
        const size_t length = std::min<size_t>(control % 32 + 1, size - at);
        now += (control >> 5) * 600; // 0 to 4.2 ms
        framer.feed(input.subspan(at, length), now, out);
        framer.poll(now, out);
        at += length;
        for (const auto& m : out) {
            if (!checksumValid(m.bytes))
                std::abort();
            delivered += m.bytes.size();
        }
        out.clear();
        // Whatever is held has a time at which poll() will deal with it.
        if (framer.nextDeadline() >= 0 && framer.nextDeadline() <= now)
            std::abort();
    }
    framer.poll(now + Framer::kTailHold + kEndOfMessageIdle, out);
    for (const auto& m : out)
        delivered += m.bytes.size();
    if (framer.nextDeadline() != -1 || delivered > size)
        std::abort();
    return 0;
}
