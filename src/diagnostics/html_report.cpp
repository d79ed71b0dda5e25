#include "diagnostics/html_report.h"

namespace diagnostics {

std::string escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            // Identification strings are bytes from the network: control
            // characters and bytes beyond ASCII are shown as '?', so the page
            // stays valid UTF-8 whatever an ECU sends.
            out += (byte < 0x20 && c != '\t') || byte >= 0x7F ? '?' : c;
            break;
        }
    }
    return out;
}

namespace {

void row(std::string& html, std::string_view caption, std::string_view value) {
    html += "<tr><th scope=\"row\">";
    html += escapeHtml(caption);
    html += "</th><td>";
    html += escapeHtml(value);
    html += "</td></tr>\n";
}

void codeTable(std::string& html, std::string_view caption, const decode::DiagnosticCodes& codes,
               const SpnNameLookup& spnName) {
    html += "<h3>";
    html += escapeHtml(caption);
    html += "</h3>\n";
    if (codes.codes.empty()) {
        html += "<p>None.</p>\n";
        return;
    }
    html += "<table class=\"codes\">\n<tr><th>SPN</th><th>FMI</th><th>Occurrences</th>"
            "<th>Conversion method</th></tr>\n";
    for (const decode::Dtc& code : codes.codes) {
        html += "<tr><td>" + escapeHtml(spnText(code.spn, spnName)) + "</td><td>" +
                escapeHtml(fmiWords(code.fmi)) + "</td><td>" + std::to_string(code.occurrenceCount) +
                "</td><td>" + std::to_string(code.conversionMethod ? 1 : 0) + "</td></tr>\n";
    }
    html += "</table>\n";
}

void lamps(std::string& html, const decode::Lamps& lamps) {
    html += "<p class=\"lamps\">";
    for (const LampWords& lamp : lampWords(lamps)) {
        html += "<span class=\"lamp\" style=\"border-color:";
        html += lamp.colour;
        html += "\">";
        html += escapeHtml(lamp.caption);
        html += ": ";
        html += escapeHtml(lamp.state);
        html += "</span> ";
    }
    html += "</p>\n";
}

} // namespace

std::string htmlReport(const ReportHeader& header, const NetworkModel& model, const SpnNameLookup& spnName) {
    std::string html;
    html += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<title>Diagnostics report</title>\n<style>\n"
            "body{font-family:sans-serif;margin:1.5em}\n"
            "table{border-collapse:collapse;margin-bottom:1em}\n"
            "th,td{border:1px solid #bbb;padding:2px 8px;text-align:left;vertical-align:top}\n"
            ".lamp{border:3px solid;border-radius:4px;padding:1px 6px;margin-right:4px}\n"
            "</style>\n</head>\n<body>\n<h1>Diagnostics report</h1>\n<table class=\"summary\">\n";
    row(html, "Date and time", header.dateTime);
    row(html, "Device", header.device);
    row(html, "Driver", header.driver);
    row(html, "This tool's address", header.ownAddress);
    std::string vin;
    for (const std::string& field : model.vin())
        vin += field;
    row(html, "VIN", vin.empty() ? "not received" : vin);
    row(html, "Nodes", std::to_string(model.nodes().size()));
    html += "</table>\n";

    for (const auto& [address, node] : model.nodes()) {
        html += "<div class=\"node\">\n<h2>Node " + escapeHtml(hexByte(address)) + "</h2>\n<table>\n";
        if (node.name) {
            row(html, "NAME", nameHex(*node.name));
            row(html, "NAME decoded", nameDescription(*node.name));
        } else {
            row(html, "NAME", "not claimed");
        }
        row(html, "Component ID", node.componentId ? idText(node.componentId) : "not received");
        row(html, "Software ID", node.softwareId ? idText(node.softwareId) : "not received");
        row(html, "ECU identification", node.ecuId ? idText(node.ecuId) : "not received");
        if (node.vin)
            row(html, "VIN", idText(node.vin));
        row(html, "Faults", faultSummary(node));
        for (ClearKind kind : {ClearKind::Active, ClearKind::PreviouslyActive})
            if (node.clear(kind).outcome != ClearOutcome::None)
                row(html, kind == ClearKind::Active ? "Clear active (DM11)" : "Clear previously active (DM3)",
                    clearOutcomeText(node.clear(kind).outcome));
        html += "</table>\n";
        if (node.active) {
            lamps(html, node.active->lamps);
            codeTable(html, node.activeStale ? "Active codes (DM1, stale)" : "Active codes (DM1)",
                      *node.active, spnName);
        }
        if (node.previouslyActive)
            codeTable(html, "Previously active codes (DM2)", *node.previouslyActive, spnName);
        html += "</div>\n";
    }
    html += "</body>\n</html>\n";
    return html;
}

} // namespace diagnostics
