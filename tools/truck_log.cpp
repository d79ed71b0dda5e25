// Writes ten seconds of a truck's J1939 traffic to a candump log through the
// recorder, on a clock it moves itself: the engine (source 0x00) claims its
// address, then sends EEC1 every 20 ms, CCVS every 100 ms, ET1 every second
// and a DM1 with two active trouble codes every second by BAM, its TP.DT
// packets 50 ms apart. Values follow the simulated truck's model.
//   truck_log <folder>   prints the path of the log it wrote
#include "links/recording_link.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {

class SilentBus final : public zt::CanLink {
public:
    zt::LinkError open(FrameHandler, StateHandler) override { return {}; }
    void close() override {}
    int send(const zt::CanFrame&) override { return 0; }
    zt::BusState busState() const override { return zt::BusState::ErrorActive; }
    std::string name() const override { return "virtual:101"; }
};

constexpr uint8_t kEngine = 0x00;

uint32_t canId(uint8_t priority, uint32_t pgn, uint8_t destination) {
    const bool pdu1 = ((pgn >> 8) & 0xFF) < 240;
    return uint32_t(priority) << 26 | (pdu1 ? (pgn & 0x3FF00) | destination : pgn) << 8 | kEngine;
}

zt::CanFrame frame(uint8_t priority, uint32_t pgn, std::vector<uint8_t> bytes) {
    zt::CanFrame f;
    f.id = canId(priority, pgn, 0xFF);
    f.length = static_cast<uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), f.data.begin());
    return f;
}

uint8_t lo(unsigned v) {
    return static_cast<uint8_t>(v & 0xFF);
}
uint8_t hi(unsigned v) {
    return static_cast<uint8_t>(v >> 8 & 0xFF);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: truck_log <folder>\n");
        return 2;
    }
    zt::ManualClock clock;
    zt::RecordingLink recorder(std::make_unique<SilentBus>(), {argv[1], "truck", "vcan101", 16384, &clock});
    if (const zt::LinkError error = recorder.open([](const zt::CanFrame&) {}, {})) {
        std::fprintf(stderr, "%s\n", error.text.c_str());
        return 1;
    }
    // Address Claimed with the engine's NAME, least significant byte first.
    recorder.send(frame(6, 0xEE00, {0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10}));

    // DM1: amber warning lamp on; coolant temperature above normal (SPN 110,
    // FMI 16, 3 times) and oil pressure low (SPN 100, FMI 1, once).
    const std::vector<uint8_t> dm1 = {0x04, 0xFF, 0x6E, 0x00, 0x10, 0x03, 0x64, 0x00, 0x01, 0x01};
    for (int ms = 1; ms <= 10'000; ++ms) {
        clock.set(ms * zt::kMicrosPerMs);
        const double t = ms / 1000.0;
        const double rpm = 700.0 + 1100.0 * (0.5 - 0.5 * std::cos(2 * std::numbers::pi * t / 20.0));
        const double load = (rpm - 700.0) / 1100.0;
        const double kmh = 88.0 * load;
        const double coolant = 20.0 + 68.0 * std::min(t / 300.0, 1.0);
        const uint8_t torque = static_cast<uint8_t>(125 + 40 * load);
        if (ms % 20 == 0) {
            const unsigned r = static_cast<unsigned>(rpm * 8);
            recorder.send(frame(3, 0xF004, {0xF0, torque, torque, lo(r), hi(r), kEngine, 0xF0, torque}));
        }
        if (ms % 100 == 5) {
            const unsigned v = static_cast<unsigned>(kmh * 256);
            recorder.send(frame(6, 0xFEF1, {0xFF, lo(v), hi(v), 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
        }
        if (ms % 1000 == 15) {
            const unsigned oil = static_cast<unsigned>((coolant + 5 + 273) * 32);
            recorder.send(frame(
                6, 0xFEEE,
                {uint8_t(coolant + 40), uint8_t(coolant + 30), lo(oil), hi(oil), 0xFF, 0xFF, 0xFF, 0xFF}));
        }
        // BAM: TP.CM, then one TP.DT every 50 ms.
        if (ms % 1000 == 35)
            recorder.send(frame(7, 0xEC00, {0x20, uint8_t(dm1.size()), 0x00, 2, 0xFF, 0xCA, 0xFE, 0x00}));
        for (uint8_t packet = 1; packet <= 2; ++packet) {
            if (ms % 1000 != 35 + 50 * packet)
                continue;
            std::vector<uint8_t> dt(8, 0xFF);
            dt[0] = packet;
            for (size_t i = 0; i < 7 && (packet - 1) * 7 + i < dm1.size(); ++i)
                dt[1 + i] = dm1[(packet - 1) * 7 + i];
            recorder.send(frame(7, 0xEB00, dt));
        }
    }
    recorder.close();
    std::printf("%s\n", recorder.filePath().c_str());
    return recorder.droppedFrames() == 0 ? 0 : 1;
}
