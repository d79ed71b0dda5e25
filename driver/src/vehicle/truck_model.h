// How the simulated truck is driven: a repeating cycle of standing at idle,
// pulling away through the gears, cruising and braking to a stop, with the
// coolant warming up over the first minutes. Every value is a function of the
// time since the vehicle started, so the same moment always reads the same.
#pragma once

#include <cstdint>

namespace zt {

struct TruckState {
    double engineRpm = 700;  // 700 at idle, 1300..1700 in gear
    double roadSpeedKmh = 0; // 0..88
    double acceleratorPercent = 0;
    double brakePedalPercent = 0;
    bool braking = false;
    bool parkingBrake = false;
    int gear = 0;         // 0 neutral, 1..10
    double gearRatio = 0; // transmission ratio of the gear; 0 in neutral
    double engineTorquePercent = 8;
    double coolantC = 20; // 20 warming to about 88
    double fuelLevelPercent = 75;
    double fuelRateLitresPerHour = 1.5;
    double tripKm = 0; // distance since the vehicle started
    bool doorOpen = false;
    bool leftTurnSignal = false;
};

// The drive cycle's length: 6 s at idle, 30 s pulling away, 20 s cruising,
// 12 s braking.
constexpr uint32_t kDriveCycleMs = 68000;
constexpr double kOdometerStartKm = 412345.6;
constexpr int kTopGear = 10;

TruckState truckAt(uint32_t elapsedMs);

} // namespace zt
