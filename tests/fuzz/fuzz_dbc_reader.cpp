// Fuzzes the DBC reader: any text is either refused with a position inside
// it or read into messages whose signals all lie within their messages, and
// those then load into a database and decode a frame without fault.
#include "decode/dbc.h"
#include "decode/signal_database.h"
#include "decode/signal_decode.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace decode;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    DbcReadResult result = readDbc(text, "fuzz.dbc");
    if (const auto* error = std::get_if<DbcError>(&result)) {
        if (error->line < 1 || error->column < 1 || error->expected.empty() || error->message().empty())
            std::abort();
        return 0;
    }
    SignalDatabase db;
    db.add(std::get<DbcFile>(std::move(result)));
    db.add(std::get<DbcFile>(readDbc(text, "again.dbc"))); // every message replaced once
    static const uint8_t frame[64] = {0x12, 0xFE, 0xFF, 0x00, 0x80, 0x7F, 0x01, 0xAA};
    std::vector<DecodedSignal> out;
    for (const auto& info : db.files()) {
        if (info.fileName == "fuzz.dbc" && info.activeCount != 0)
            std::abort();
    }
    for (uint32_t id : {0x0CF00400u, 0x100u, 0x18FEF100u}) {
        for (bool extended : {false, true}) {
            if (const MessageDef* m = db.find(id, extended)) {
                for (const SignalDef& s : m->signalDefs) {
                    if (!fitsIn(s, m->dlc))
                        std::abort();
                }
                out.clear();
                decodeMessage(*m, std::span<const uint8_t>(frame, m->dlc < 64 ? m->dlc : 64), out);
                for (const DecodedSignal& d : out)
                    (void)formatValue(d);
            }
        }
    }
    return 0;
}
