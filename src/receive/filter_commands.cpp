#include "receive/filter_commands.h"

#include <cstdio>

namespace receive {

FilterCommand j1708FilterCommand(int filterMode, uint8_t mid) {
    if (filterMode != kFilterPass)
        return {RP1210_Set_Message_Filtering_For_J1708, {mid}};
    return {RP1210_Set_All_Filters_States_to_Pass, {}};
}

J1939FilterRecord j1939FilterRecord(const J1939FilterCriteria& criteria) {
    J1939FilterRecord record{};
    if (criteria.usePriority)
        record[0] |= kJ1939FilterPriority;
    if (criteria.usePgn)
        record[0] |= kJ1939FilterPgn;
    if (criteria.useDestination)
        record[0] |= kJ1939FilterDestination;
    if (criteria.useSource)
        record[0] |= kJ1939FilterSource;
    if (criteria.pf >= kFirstBroadcastPf)
        record[1] = criteria.destination;
    else
        record[6] = criteria.destination;
    record[2] = criteria.pf;
    record[3] = criteria.page;
    record[4] = criteria.priority;
    record[5] = criteria.source;
    return record;
}

uint32_t j1939FilterMask(bool usePriority, bool usePgn, bool useDestination, bool useSource) {
    uint32_t mask = 0;
    if (usePriority)
        mask = 0x1C000000;
    if (usePgn)
        mask |= 0x00FF0000;
    if (useDestination)
        mask |= 0x0000FF00;
    if (useSource)
        mask |= 0x000000FF;
    return mask;
}

std::string j1939FilterMaskText(uint32_t mask, bool hexMode) {
    char text[16];
    if (hexMode)
        std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(mask));
    else
        std::snprintf(text, sizeof text, "%d", static_cast<int>(mask));
    return text;
}

} // namespace receive
