// Threads on the recorder and the replay link: three senders and a receive
// thread record at once while the writer thread writes, and every frame is in
// the file, each thread's frames in the order it put them on the bus; then
// the file replays unpaced, whole, and a replay closed while it plays stops
// delivering. A plain executable, so ThreadSanitizer sees every thread.
#include "links/candump_log.h"
#include "links/recording_link.h"
#include "links/replay_link.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kPerThread = 20'000;
constexpr int kThreads = 4; // three senders, one receive thread

#define CHECK(condition)                                                                                     \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition);                             \
            std::exit(1);                                                                                    \
        }                                                                                                    \
    } while (0)

class ThreadedBus final : public zt::CanLink {
public:
    zt::LinkError open(FrameHandler onFrame, StateHandler) override {
        onFrame_ = std::move(onFrame);
        return {};
    }
    void close() override {}
    int send(const zt::CanFrame&) override { return 0; }
    zt::BusState busState() const override { return zt::BusState::ErrorActive; }
    std::string name() const override { return "virtual:stress"; }
    void receive(const zt::CanFrame& frame) { onFrame_(frame); }

private:
    FrameHandler onFrame_;
};

// Thread t's frame n: identifier t, sequence number in the first four bytes.
zt::CanFrame frameOf(uint32_t thread, uint32_t n) {
    zt::CanFrame frame;
    frame.id = thread;
    frame.length = 4;
    for (int b = 0; b < 4; ++b)
        frame.data[b] = static_cast<uint8_t>(n >> (8 * b));
    return frame;
}

} // namespace

int main() {
    char folder[] = "/tmp/tst_record_stress_XXXXXX";
    CHECK(mkdtemp(folder) != nullptr);

    auto inner = std::make_unique<ThreadedBus>();
    ThreadedBus* bus = inner.get();
    zt::RecordingLink recorder(std::move(inner), {folder, "stress", "vcan0", kPerThread * kThreads, nullptr});
    CHECK(!recorder.open([](const zt::CanFrame&) {}, {}));
    std::vector<std::thread> threads;
    for (uint32_t t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (uint32_t n = 0; n < kPerThread; ++n) {
                if (t == 0)
                    bus->receive(frameOf(t, n));
                else
                    CHECK(recorder.send(frameOf(t, n)) == 0);
            }
        });
    for (auto& thread : threads)
        thread.join();
    recorder.close();
    CHECK(recorder.droppedFrames() == 0);

    std::ifstream in(recorder.filePath());
    uint32_t next[kThreads] = {};
    uint32_t lines = 0;
    for (std::string line; std::getline(in, line); ++lines) {
        const auto parsed = zt::candump::parseLine(line);
        CHECK(parsed.kind == zt::candump::LineKind::Frame && parsed.frame.id < kThreads);
        const uint32_t n = parsed.frame.data[0] | parsed.frame.data[1] << 8 | parsed.frame.data[2] << 16 |
                           uint32_t(parsed.frame.data[3]) << 24;
        CHECK(n == next[parsed.frame.id]++);
    }
    CHECK(lines == kPerThread * kThreads);

    {
        std::atomic<uint32_t> played{0};
        zt::ReplayLink replay({recorder.filePath(), false, 0.0, nullptr});
        CHECK(!replay.open([&](const zt::CanFrame&) { played.fetch_add(1, std::memory_order_relaxed); }, {}));
        replay.catchUp();
        CHECK(replay.finished() && played == kPerThread * kThreads && replay.skippedLines() == 0);
        replay.close();
    }
    for (int round = 0; round < 50; ++round) {
        std::atomic<bool> closed{false};
        std::atomic<uint32_t> late{0};
        zt::ReplayLink replay({recorder.filePath(), true, 0.0, nullptr});
        CHECK(!replay.open([&](const zt::CanFrame&) { late += closed.load() ? 1 : 0; }, {}));
        std::thread closer([&] { replay.close(); });
        closer.join();
        closed = true;
        CHECK(late == 0);
    }

    std::remove(recorder.filePath().c_str());
    rmdir(folder);
    std::puts("record and replay stress: passed");
    return 0;
}
