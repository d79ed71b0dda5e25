#include "clients/j1939_filter.h"

#include <rp1210a/rp1210a.h>

namespace zt {

bool J1939Filter::matches(const MessageInfo& m) const {
    if ((flags & FILTER_PGN) && pgn != m.pgn)
        return false;
    if ((flags & FILTER_PRIORITY) && priority != m.priority)
        return false;
    if ((flags & FILTER_SOURCE) && source != m.source)
        return false;
    if ((flags & FILTER_DESTINATION) && destination != m.destination)
        return false;
    return true;
}

J1939Filter parseJ1939Filter(const uint8_t* r) {
    J1939Filter f;
    f.flags = r[0];
    f.pgn = (r[1] | (uint32_t{r[2]} << 8) | (uint32_t{r[3]} << 16)) & 0x3FFFF;
    // Compared the way messages carry their PGN: PDU1 formats without the low byte.
    if (((f.pgn >> 8) & 0xFF) < 240)
        f.pgn &= ~0xFFu;
    f.priority = r[4] & 7;
    f.source = r[5];
    f.destination = r[6];
    return f;
}

} // namespace zt
