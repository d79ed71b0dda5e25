// Received J1939 bytes on their way to what the Diagnostics window shows:
// receive buffers into the network model (claims, DM1, DM2, identification
// strings, acknowledgments), clears and the clock in between, then every
// node's texts and the HTML report.
//
// Input: records of [op][length low][length high][bytes]. op & 3: 0 a
// receive buffer, 1 the clock moves on by the first byte in 100 ms steps,
// 2 a DM11 clear to the address in the first byte, 3 a DM3 clear.
#include "diagnostics/diagnostic_text.h"
#include "diagnostics/html_report.h"
#include "diagnostics/j1939_message.h"
#include "diagnostics/network_model.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace diagnostics;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TimePoint now{};
    NetworkModel model([&] { return now; });
    std::span<const uint8_t> input(data, size);
    while (input.size() >= 3) {
        const uint8_t op = input[0];
        std::size_t length = std::size_t(input[1]) | std::size_t(input[2]) << 8;
        input = input.subspan(3);
        if (length > input.size())
            length = input.size();
        const std::span<const uint8_t> bytes = input.first(length);
        input = input.subspan(length);
        switch (op & 3) {
        case 0:
            if (auto message = parseReceiveBuffer(bytes))
                model.apply(*message);
            break;
        case 1:
            now += std::chrono::milliseconds(100) * (bytes.empty() ? 1 : bytes[0]);
            model.updateTimes();
            break;
        default:
            model.clearRequested(op & 1 ? ClearKind::PreviouslyActive : ClearKind::Active,
                                 bytes.empty() ? kGlobalAddress : bytes[0]);
            break;
        }
    }
    const SpnNameLookup names = [](uint32_t spn) {
        return spn % 2 ? std::string("<b>name</b>") : std::string();
    };
    std::size_t shown = 0;
    for (const auto& [address, node] : model.nodes()) {
        if (node.name)
            shown += nameDescription(*node.name).size() + nameHex(*node.name).size();
        shown += idText(node.componentId).size() + idText(node.softwareId).size() + idText(node.ecuId).size();
        shown += faultSummary(node).size() + ageText(node.lastHeard, now).size();
        if (node.active) {
            shown += lampSummary(node.active->lamps).size();
            for (const decode::Dtc& code : node.active->codes)
                shown += spnText(code.spn, names).size() + fmiWords(code.fmi).size();
        }
    }
    const std::string html = htmlReport(ReportHeader{"now", "101", "driver", "0xF9"}, model, names);
    // The page never carries a tag that came from the network.
    if (html.find("<b>") != std::string::npos || html.find("<script") != std::string::npos)
        __builtin_trap();
    return shown > html.size() * 1000 ? 1 : 0;
}
