#include "vehicle.h"

#include "adapter.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace zt {
namespace {

constexpr double kPi = 3.14159265358979323846;

uint8_t lo(unsigned v) {
    return static_cast<uint8_t>(v & 0xFF);
}
uint8_t hi(unsigned v) {
    return static_cast<uint8_t>((v >> 8) & 0xFF);
}

unsigned clampTo(double v, unsigned max) {
    if (v <= 0)
        return 0;
    return std::min(static_cast<unsigned>(std::lround(v)), max);
}

// J1850 header byte: priority 2, no in-frame response, functional, type 0.
constexpr uint8_t kJ1850Header = (2 << 5) | 0x08;
constexpr uint8_t kJ1850Source = 0x10;
constexpr uint8_t kJ1850EngineSpeed = 0x0C;
constexpr uint8_t kJ1850RoadSpeed = 0x0D;

enum class Job { Eec1, Ccvs, Et1, Pid190, Pid84, Pid110, J1850Rpm, J1850Speed };

struct Periodic {
    Job job;
    std::chrono::milliseconds period;
    std::chrono::milliseconds offset; // spreads the first sends apart
};

constexpr Periodic kSchedule[] = {
    {Job::Eec1, std::chrono::milliseconds(20), std::chrono::milliseconds(0)},
    {Job::Ccvs, std::chrono::milliseconds(100), std::chrono::milliseconds(5)},
    {Job::Et1, std::chrono::milliseconds(1000), std::chrono::milliseconds(15)},
    {Job::Pid190, std::chrono::milliseconds(100), std::chrono::milliseconds(2)},
    {Job::Pid84, std::chrono::milliseconds(100), std::chrono::milliseconds(52)},
    {Job::Pid110, std::chrono::milliseconds(1000), std::chrono::milliseconds(27)},
    {Job::J1850Rpm, std::chrono::milliseconds(100), std::chrono::milliseconds(7)},
    {Job::J1850Speed, std::chrono::milliseconds(200), std::chrono::milliseconds(57)},
};

} // namespace

Readings readingsAt(uint32_t ms) {
    // Engine speed: a 20 s cycle from idle at 700 rpm up to 1800 rpm and back.
    const double phase = static_cast<double>(ms % 20000) / 10000.0; // 0..2
    const double load = phase < 1.0 ? phase : 2.0 - phase;          // 0..1..0
    Readings r{};
    r.engineRpm = 700.0 + 1100.0 * load;
    r.roadSpeedKmh = 88.0 * load;
    // Coolant warms from 20 to 88 degrees C over five minutes, then swings a
    // little around 88.
    const double warm = std::min(1.0, static_cast<double>(ms) / 300000.0);
    r.coolantC =
        20.0 + 68.0 * warm + (warm >= 1.0 ? 2.0 * std::sin(2.0 * kPi * (ms % 60000) / 60000.0) : 0.0);
    return r;
}

FramePtr engineJ1939(uint32_t pgn, uint8_t source, uint32_t ms) {
    const Readings r = readingsAt(ms);
    switch (pgn) {
    case kPgnEec1: {
        const unsigned rpm = clampTo(r.engineRpm * 8.0, 0xFAFF); // 0.125 rpm per bit
        const uint8_t torque =
            static_cast<uint8_t>(125 + clampTo(15.0 + 35.0 * (r.engineRpm - 700.0) / 1100.0, 125));
        const uint8_t d[8] = {0xF0, torque, torque, lo(rpm), hi(rpm), source, 0xF0, torque};
        return makeJ1939(kPgnEec1, 3, source, kGlobalAddress, d);
    }
    case kPgnCcvs: {
        const unsigned speed = clampTo(r.roadSpeedKmh * 256.0, 0xFAFF); // 1/256 km/h per bit
        const uint8_t d[8] = {0xFF, lo(speed), hi(speed), 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        return makeJ1939(kPgnCcvs, 6, source, kGlobalAddress, d);
    }
    case kPgnEt1: {
        const uint8_t coolant =
            static_cast<uint8_t>(clampTo(r.coolantC + 40.0, 250)); // 1 C per bit, -40 offset
        const uint8_t fuel = static_cast<uint8_t>(clampTo(r.coolantC - 10.0 + 40.0, 250));
        const unsigned oil = clampTo((r.coolantC + 5.0 + 273.0) * 32.0, 0xFAFF); // 0.03125 C per bit
        const uint8_t d[8] = {coolant, fuel, lo(oil), hi(oil), 0xFF, 0xFF, 0xFF, 0xFF};
        return makeJ1939(kPgnEt1, 6, source, kGlobalAddress, d);
    }
    default:
        return nullptr;
    }
}

FramePtr engineJ1708(uint8_t pid, uint32_t ms) {
    const Readings r = readingsAt(ms);
    switch (pid) {
    case 190: {
        const unsigned rpm = clampTo(r.engineRpm * 4.0, 0xFFFF); // 0.25 rpm per bit
        const uint8_t rest[] = {190, lo(rpm), hi(rpm)};
        return makeJ1708(128, rest);
    }
    case 84: {
        const uint8_t rest[] = {
            84, static_cast<uint8_t>(clampTo(r.roadSpeedKmh / 0.805, 255))}; // 0.5 mph per bit
        return makeJ1708(128, rest);
    }
    case 110: {
        const uint8_t rest[] = {
            110, static_cast<uint8_t>(clampTo(r.coolantC * 9.0 / 5.0 + 32.0, 255))}; // 1 F per bit
        return makeJ1708(128, rest);
    }
    default:
        return nullptr;
    }
}

FramePtr powertrainJ1850(uint8_t target, uint32_t ms) {
    const Readings r = readingsAt(ms);
    unsigned v = 0;
    if (target == kJ1850EngineSpeed)
        v = clampTo(r.engineRpm * 4.0, 0xFFFF);
    else if (target == kJ1850RoadSpeed)
        v = clampTo(r.roadSpeedKmh * 128.0, 0xFFFF);
    else
        return nullptr;
    const uint8_t d[] = {hi(v), lo(v)};
    return makeJ1850(kJ1850Header, target, kJ1850Source, d);
}

Vehicle::Vehicle(Device& device, uint32_t startMs) : device_(device), startMs_(startMs) {
    thread_ = std::thread([this] { run(); });
}

Vehicle::~Vehicle() {
    {
        std::lock_guard lock(m_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void Vehicle::run() {
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    constexpr std::size_t n = std::size(kSchedule);
    clock::time_point due[n];
    for (std::size_t i = 0; i < n; ++i)
        due[i] = start + kSchedule[i].offset;

    std::unique_lock lock(m_);
    while (!stop_) {
        const auto next = *std::min_element(due, due + n);
        if (wake_.wait_until(lock, next, [this] { return stop_; }))
            break;
        lock.unlock();
        const auto now = clock::now();
        const uint32_t elapsed = nowMs() - startMs_;
        for (std::size_t i = 0; i < n; ++i) {
            if (due[i] > now)
                continue;
            // Keep the period; after a stall, resume from now rather than
            // sending a burst of stale messages.
            due[i] += kSchedule[i].period;
            if (due[i] <= now)
                due[i] = now + kSchedule[i].period;
            switch (kSchedule[i].job) {
            case Job::Eec1:
            case Job::Ccvs:
            case Job::Et1: {
                Bus& bus = device_.j1939;
                std::lock_guard busLock(bus.m);
                if (!bus.engineHoldsAddress())
                    break; // the engine lost its address and stays silent
                const uint32_t pgn = kSchedule[i].job == Job::Eec1   ? kPgnEec1
                                     : kSchedule[i].job == Job::Ccvs ? kPgnCcvs
                                                                     : kPgnEt1;
                bus.carry(engineJ1939(pgn, bus.engine.address, elapsed), nullptr);
                break;
            }
            case Job::Pid190:
            case Job::Pid84:
            case Job::Pid110: {
                const uint8_t pid = kSchedule[i].job == Job::Pid190  ? 190
                                    : kSchedule[i].job == Job::Pid84 ? 84
                                                                     : 110;
                std::lock_guard busLock(device_.j1708.m);
                device_.j1708.carry(engineJ1708(pid, elapsed), nullptr);
                break;
            }
            case Job::J1850Rpm:
            case Job::J1850Speed: {
                const uint8_t target =
                    kSchedule[i].job == Job::J1850Rpm ? kJ1850EngineSpeed : kJ1850RoadSpeed;
                std::lock_guard busLock(device_.j1850.m);
                device_.j1850.carry(powertrainJ1850(target, elapsed), nullptr);
                break;
            }
            }
        }
        lock.lock();
    }
}

} // namespace zt
