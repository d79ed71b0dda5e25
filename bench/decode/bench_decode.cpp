// Decoding speed against a generated DBC of 1,000 J1939 and plain CAN
// messages with 10,000 signals, frames looked up and decoded on one thread;
// and the read time of a generated DBC of some 10 MB. Prints figures; no
// pass/fail. CPU time is measured so a loaded machine does not inflate it.
#include "decode/dbc.h"
#include "decode/j1939_id.h"
#include "decode/signal_database.h"
#include "decode/signal_decode.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace {

double cpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct GeneratedMessage {
    uint32_t canId;
    bool extended;
};

// Messages of 10 signals each: J1939 ones (PGNs 0xFF00.. and 0xF000..) in
// Intel order with some 2-bit and 8/16-bit fields, every fifth a plain
// 11-bit one in Motorola order. Each message also gets a comment, a cycle
// time, SPNs and a value table, so the text resembles a real database.
std::string generateDbc(int messages, std::vector<GeneratedMessage>* ids) {
    std::string text =
        "VERSION \"generated\"\n\nNS_ :\n\tCM_\n\tBA_DEF_\n\nBS_:\n\nBU_: Engine Cluster Body\n\n";
    std::string attributes;
    std::string values;
    char line[256];
    for (int m = 0; m < messages; ++m) {
        const bool plain = m % 5 == 4;
        uint32_t rawId;
        if (plain) // 11-bit while they last, then 29-bit plain CAN
            rawId = m < 1700 ? 0x100 + static_cast<uint32_t>(m)
                             : 0x80000000u | (0x1A000000u + static_cast<uint32_t>(m));
        else // PDU2 PGNs on all four data pages
            rawId = 0x80000000u |
                    decode::joinJ1939Id(6, (static_cast<uint32_t>(m) / 4096) << 16 | (0xF000u + m % 4096),
                                        0xFF, 0);
        if (ids)
            ids->push_back({rawId & 0x1FFFFFFF, !plain});
        std::snprintf(line, sizeof line, "BO_ %u Message%d: 8 Engine\n", rawId, m);
        text += line;
        for (int s = 0; s < 10; ++s) {
            const int start = plain ? 7 + 8 * (s % 4) : (s < 6 ? s * 2 : 12 + (s - 6) * 8);
            const int length = plain ? (s % 4 == 3 ? 16 : 8) : (s < 6 ? 2 : 8 + (s % 2) * 8);
            std::snprintf(line, sizeof line,
                          " SG_ Signal%d_%d : %d|%d@%c+ (%g,%d) [0|%d] \"%s\" Cluster,Body\n", m, s, start,
                          length, plain ? '0' : '1', s % 3 == 0 ? 0.125 : 1.0, s % 4 == 1 ? -40 : 0,
                          (1 << (length > 16 ? 16 : length)) - 1, s % 2 ? "rpm" : "degC");
            text += line;
            if (s == 0) {
                std::snprintf(line, sizeof line,
                              "VAL_ %u Signal%d_%d 0 \"Off\" 1 \"On\" 2 \"Error\" 3 \"n/a\" ;\n", rawId, m,
                              s);
                values += line;
            }
            std::snprintf(line, sizeof line, "BA_ \"SPN\" SG_ %u Signal%d_%d %d;\n", rawId, m, s,
                          1000 + m * 10 + s);
            attributes += line;
        }
        std::snprintf(line, sizeof line, "\nCM_ BO_ %u \"Generated message %d for the benchmark\";\n", rawId,
                      m);
        text += line;
        std::snprintf(line, sizeof line, "BA_ \"GenMsgCycleTime\" BO_ %u %d;\n", rawId, 10 + m % 1000);
        attributes += line;
        if (!plain) {
            std::snprintf(line, sizeof line, "BA_ \"VFrameFormat\" BO_ %u 3;\n", rawId);
            attributes += line;
        }
        text += '\n';
    }
    text += "BA_DEF_ BO_ \"VFrameFormat\" ENUM \"StandardCAN\",\"ExtendedCAN\",\"reserved\",\"J1939PG\";\n"
            "BA_DEF_ SG_ \"SPN\" INT 0 524287;\nBA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 65535;\n"
            "BA_DEF_DEF_ \"GenMsgCycleTime\" 0;\n";
    text += attributes;
    text += values;
    return text;
}

} // namespace

int main() {
    using namespace decode;

    // Decoding.
    std::vector<GeneratedMessage> ids;
    const std::string text = generateDbc(1000, &ids);
    auto read = readDbc(text, "generated.dbc");
    if (auto* error = std::get_if<DbcError>(&read)) {
        std::fprintf(stderr, "%s\n", error->message().c_str());
        return 1;
    }
    SignalDatabase db;
    db.add(std::get<DbcFile>(std::move(read)));
    std::size_t signalCount = 0;
    for (const auto& g : ids)
        signalCount += db.find(g.canId, g.extended) ? 10 : 0;
    std::printf("database: %zu messages, %zu signals\n", db.messageCount(), signalCount);

    // Frames from several source addresses in random order, one in ten of
    // an identifier the database does not know.
    std::mt19937 rng(42);
    struct Frame {
        uint32_t id;
        bool extended;
        uint8_t data[8];
    };
    std::vector<Frame> frames(1 << 16);
    for (Frame& f : frames) {
        const auto& g = ids[rng() % ids.size()];
        f.extended = g.extended;
        f.id = g.extended ? (g.canId & ~0xFFu) | (rng() % 8) : g.canId;
        if (rng() % 10 == 0)
            f.id = f.extended ? 0x18EA0000u | (rng() & 0xFFFF) : 0x7F0 + rng() % 15;
        for (uint8_t& b : f.data)
            b = static_cast<uint8_t>(rng());
    }
    std::vector<DecodedSignal> out;
    out.reserve(64);
    std::size_t decodedFrames = 0, decodedSignals = 0, rounds = 0;
    const double start = cpuSeconds();
    double elapsed = 0;
    do {
        for (const Frame& f : frames) {
            out.clear();
            if (const MessageDef* m = db.find(f.id, f.extended)) {
                decodeMessage(*m, f.data, out);
                ++decodedFrames;
                decodedSignals += out.size();
            }
        }
        ++rounds;
        elapsed = cpuSeconds() - start;
    } while (elapsed < 1.0);
    const double framesPerSecond = double(rounds * frames.size()) / elapsed;
    std::printf("decode: %.0f frames/s (%.0f signals/s), %zu of %zu frames known\n", framesPerSecond,
                double(decodedSignals) / elapsed, decodedFrames, rounds * frames.size());

    // Formatting a decoded frame's values, as a window showing them does.
    std::size_t formatted = 0;
    const double formatStart = cpuSeconds();
    for (std::size_t i = 0; i < 200000; ++i) {
        const Frame& f = frames[i % frames.size()];
        out.clear();
        if (const MessageDef* m = db.find(f.id, f.extended)) {
            decodeMessage(*m, f.data, out);
            for (const DecodedSignal& s : out)
                formatted += formatValue(s).size();
        }
    }
    const double formatElapsed = cpuSeconds() - formatStart;
    std::printf("decode and format: %.0f frames/s (%zu characters)\n", 200000 / formatElapsed, formatted);

    // Reading a DBC of some 10 MB.
    const std::size_t perMessage = text.size() / 1000;
    const std::string big = generateDbc(static_cast<int>((10u << 20) / perMessage), nullptr);
    const double readStart = cpuSeconds();
    auto bigRead = readDbc(big, "big.dbc");
    const double readElapsed = cpuSeconds() - readStart;
    if (auto* error = std::get_if<DbcError>(&bigRead)) {
        std::fprintf(stderr, "%s\n", error->message().c_str());
        return 1;
    }
    std::printf("read: %.1f MB DBC (%zu messages) in %.3f s, %.0f MB/s\n", double(big.size()) / (1 << 20),
                std::get<DbcFile>(bigRead).messages.size(), readElapsed,
                double(big.size()) / (1 << 20) / readElapsed);
    return 0;
}
