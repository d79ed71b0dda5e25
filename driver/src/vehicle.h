// The simulated truck on a device's buses: an engine ECU on J1939 (source
// 0x00), an engine MID 128 on J1708 and a powertrain module on J1850, each
// message on its own period, values moving with time.
#pragma once

#include "frames.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace zt {

struct Device;

constexpr uint8_t kEngineAddress = 0x00;
// Engine NAME: industry group 1 (on-highway), function 0 (engine), identity
// number 0x101, not arbitrary-address capable.
constexpr uint64_t kEngineName = 0x1000000000000101ULL;

constexpr uint32_t kPgnEec1 = 61444; // 0xF004
constexpr uint32_t kPgnCcvs = 65265; // 0xFEF1
constexpr uint32_t kPgnEt1 = 65262;  // 0xFEEE

struct Readings {
    double engineRpm;    // 700 (idle) .. 1800
    double roadSpeedKmh; // 0 .. 88
    double coolantC;     // 20 warming to about 88
};

Readings readingsAt(uint32_t elapsedMs);

// The engine's J1939 message for pgn at a moment, or nullptr when the engine
// does not send that PGN.
FramePtr engineJ1939(uint32_t pgn, uint8_t source, uint32_t elapsedMs);
FramePtr engineJ1708(uint8_t pid, uint32_t elapsedMs);
FramePtr powertrainJ1850(uint8_t target, uint32_t elapsedMs);

// Runs the periodic traffic on its own thread from construction to
// destruction.
class Vehicle {
public:
    Vehicle(Device& device, uint32_t startMs);
    ~Vehicle();
    Vehicle(const Vehicle&) = delete;
    Vehicle& operator=(const Vehicle&) = delete;

private:
    void run();

    Device& device_;
    const uint32_t startMs_;
    std::mutex m_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace zt
