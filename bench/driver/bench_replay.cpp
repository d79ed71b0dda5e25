// Measures the candump log paths:
//  - the line parser alone, in lines per second;
//  - the replay link with pacing off: frames per second from the file through
//    the parser to the link's frame handler;
//  - the recorder: the time a send spends on the sending thread, in ns per
//    frame, against the same link without a recorder, and what it dropped.
#include "links/candump_log.h"
#include "links/recording_link.h"
#include "links/replay_link.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;

double secondsSince(Steady::time_point start) {
    return std::chrono::duration<double>(Steady::now() - start).count();
}

class NullLink final : public zt::CanLink {
public:
    zt::LinkError open(FrameHandler, StateHandler) override { return {}; }
    void close() override {}
    int send(const zt::CanFrame&) override { return 0; }
    zt::BusState busState() const override { return zt::BusState::ErrorActive; }
    std::string name() const override { return "virtual:bench"; }
};

zt::CanFrame frameFor(uint32_t i) {
    zt::CanFrame frame;
    frame.id = 0x0CF00400 | (i & 0xFF);
    frame.length = 8;
    for (int b = 0; b < 8; ++b)
        frame.data[b] = static_cast<uint8_t>(i >> b);
    return frame;
}

} // namespace

int main() {
    constexpr uint32_t kLines = 1'000'000;
    char folder[] = "/tmp/bench_replay_XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 1;
    const std::string logPath = std::string(folder) + "/bench.log";

    std::string text;
    text.reserve(kLines * 48);
    char line[zt::candump::kMaxFormattedLine + 1];
    for (uint32_t i = 0; i < kLines; ++i)
        text.append(line,
                    zt::candump::formatLine(line, frameFor(i), 1'765'000'000'000'000 + i * 500, "vcan101"));
    std::ofstream(logPath) << text;

    // The parser alone.
    {
        const auto start = Steady::now();
        uint32_t frames = 0;
        std::string_view rest = text;
        while (!rest.empty()) {
            const size_t newline = rest.find('\n');
            frames += zt::candump::parseLine(rest.substr(0, newline)).kind == zt::candump::LineKind::Frame;
            rest.remove_prefix(newline + 1);
        }
        const double s = secondsSince(start);
        std::printf("candump line parser: %u lines in %.3f s, %.0f lines/s\n", frames, s, frames / s);
    }

    // Replay, unpaced: file, parser, handler.
    {
        std::atomic<uint64_t> received{0};
        zt::ReplayLink link({logPath, false, 0.0, nullptr});
        const auto start = Steady::now();
        if (link.open([&](const zt::CanFrame&) { received.fetch_add(1, std::memory_order_relaxed); }, {})) {
            std::fprintf(stderr, "replay did not open\n");
            return 1;
        }
        link.catchUp(); // returns when the log has ended
        const double s = secondsSince(start);
        link.close();
        std::printf("replay, pacing off: %llu frames in %.3f s, %.0f frames/s (%u lines skipped)\n",
                    static_cast<unsigned long long>(received.load()), s, received.load() / s,
                    link.skippedLines());
    }

    // Recorder: cost on the sending thread. With a queue large enough for
    // every frame, the figure is the queueing alone; with the default queue
    // and frames offered far faster than a bus carries them, the writer
    // cannot keep up and the drops show.
    {
        constexpr uint32_t kFrames = 1'000'000;
        NullLink bare;
        zt::CanLink* volatile link = &bare;
        auto start = Steady::now();
        for (uint32_t i = 0; i < kFrames; ++i)
            link->send(frameFor(i));
        std::printf("send without a recorder: %.1f ns/frame\n", secondsSince(start) * 1e9 / kFrames);

        for (const size_t capacity : {size_t(kFrames), size_t(16384)}) {
            zt::RecordingLink recorder(std::make_unique<NullLink>(),
                                       {folder, "bench", "vcan101", capacity, nullptr});
            if (recorder.open([](const zt::CanFrame&) {}, {})) {
                std::fprintf(stderr, "recorder did not open\n");
                return 1;
            }
            start = Steady::now();
            for (uint32_t i = 0; i < kFrames; ++i)
                recorder.send(frameFor(i));
            const double ns = secondsSince(start) * 1e9 / kFrames;
            recorder.close();
            std::printf("send with the recorder, queue of %zu: %.1f ns/frame, %llu of %u frames dropped\n",
                        capacity, ns, static_cast<unsigned long long>(recorder.droppedFrames()), kFrames);
            std::remove(recorder.filePath().c_str());
        }
    }
    std::remove(logPath.c_str());
    rmdir(folder);
    return 0;
}
