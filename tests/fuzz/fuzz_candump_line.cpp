// Fuzzes the candump log line parser: any bytes, split into lines, parse
// without a fault, and every frame formats to a line that parses to the same
// frame, time and interface again.
#include "links/candump_log.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zt::candump;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (!rest.empty()) {
        const size_t newline = rest.find('\n');
        const std::string_view line = rest.substr(0, newline);
        rest.remove_prefix(newline == std::string_view::npos ? rest.size() : newline + 1);

        const ParsedLine first = parseLine(line);
        if (first.kind != LineKind::Frame)
            continue;
        if (first.frame.length > 8 || first.time < 0)
            std::abort();
        char text[kMaxFormattedLine + 1];
        const size_t length = formatLine(text, first.frame, first.time, first.interface);
        if (length > sizeof text || text[length - 1] != '\n')
            std::abort();
        const ParsedLine second = parseLine(std::string_view(text, length - 1));
        if (second.kind != LineKind::Frame || second.time != first.time ||
            second.interface != first.interface.substr(0, 32) || second.frame.id != first.frame.id ||
            second.frame.extended != first.frame.extended || second.frame.length != first.frame.length ||
            second.frame.bytes().size() != first.frame.bytes().size())
            std::abort();
        for (size_t i = 0; i < first.frame.length; ++i)
            if (second.frame.data[i] != first.frame.data[i])
                std::abort();
    }
    return 0;
}
