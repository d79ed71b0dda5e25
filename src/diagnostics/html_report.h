#pragma once
// The diagnosis as one HTML page that any browser shows offline: no scripts,
// no outside files, every text from the network escaped.

#include "diagnostics/diagnostic_text.h"
#include "diagnostics/network_model.h"

#include <string>
#include <string_view>

namespace diagnostics {

struct ReportHeader {
    std::string dateTime;   // when the report was made, as the user reads it
    std::string device;     // "101"
    std::string driver;     // the implementation name
    std::string ownAddress; // the window's claimed address, or why it has none
};

// Text made safe for HTML element content and attribute values.
std::string escapeHtml(std::string_view text);

std::string htmlReport(const ReportHeader& header, const NetworkModel& model, const SpnNameLookup& spnName);

} // namespace diagnostics
