#include "vehicle/truck_model.h"

#include <algorithm>
#include <cmath>

namespace zt {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kIdleRpm = 700;
constexpr double kCruiseKmh = 88;
// Engine rpm per km/h in top gear (ratio 1); each lower gear's ratio is 1.3
// times the next one's. The transmission shifts up once the next gear keeps
// the engine at 1300 rpm or more, so in gear it turns at 1300 to 1690 rpm.
constexpr double kRpmPerKmhTopGear = 17;
constexpr double kStepRatio = 1.3;
constexpr double kShiftRpm = 1300;

struct Phase {
    uint32_t lengthMs;
    double fromKmh;
    double toKmh;
    double accelerator;
    double brake;
};

constexpr Phase kPhases[] = {
    {6000, 0, 0, 0, 0},                     // standing at idle, door opened and closed
    {30000, 0, kCruiseKmh, 70, 0},          // pulling away through the gears
    {20000, kCruiseKmh, kCruiseKmh, 32, 0}, // cruising
    {12000, kCruiseKmh, 0, 0, 30},          // braking to a stop
};

double ratioOf(int gear) {
    return std::pow(kStepRatio, kTopGear - gear);
}

// Distance covered in one phase up to t ms into it, in km.
double phaseKm(const Phase& p, uint32_t t) {
    const double hours = t / 3600000.0;
    const double speedAtT = p.fromKmh + (p.toKmh - p.fromKmh) * t / p.lengthMs;
    return (p.fromKmh + speedAtT) / 2.0 * hours;
}

double cycleKm() {
    double km = 0;
    for (const Phase& p : kPhases)
        km += phaseKm(p, p.lengthMs);
    return km;
}

} // namespace

TruckState truckAt(uint32_t ms) {
    TruckState s;
    uint32_t t = ms % kDriveCycleMs;
    double km = cycleKm() * (ms / kDriveCycleMs);
    std::size_t phase = 0;
    while (t >= kPhases[phase].lengthMs) {
        km += phaseKm(kPhases[phase], kPhases[phase].lengthMs);
        t -= kPhases[phase].lengthMs;
        ++phase;
    }
    const Phase& p = kPhases[phase];
    km += phaseKm(p, t);
    s.tripKm = km;
    s.roadSpeedKmh = p.fromKmh + (p.toKmh - p.fromKmh) * t / p.lengthMs;
    s.acceleratorPercent = p.accelerator;
    s.brakePedalPercent = p.brake;
    s.braking = p.brake > 0;
    s.parkingBrake = phase == 0;
    s.doorOpen = phase == 0 && t >= 1000 && t < 4000;
    s.leftTurnSignal = phase == 1 && t < 3000;

    if (s.roadSpeedKmh > 0) {
        s.gear = 1;
        while (s.gear < kTopGear && s.roadSpeedKmh * kRpmPerKmhTopGear * ratioOf(s.gear + 1) >= kShiftRpm)
            ++s.gear;
        s.gearRatio = ratioOf(s.gear);
        s.engineRpm = std::max(kIdleRpm, s.roadSpeedKmh * kRpmPerKmhTopGear * s.gearRatio);
    }
    s.engineTorquePercent = 8 + 0.9 * s.acceleratorPercent;
    s.fuelRateLitresPerHour = 1.5 + 45.0 * s.acceleratorPercent / 100.0 * s.engineRpm / 1800.0;

    // Coolant warms from 20 to 88 degrees C over five minutes, then swings a
    // little around 88.
    const double warm = std::min(1.0, ms / 300000.0);
    s.coolantC =
        20.0 + 68.0 * warm + (warm >= 1.0 ? 2.0 * std::sin(2.0 * kPi * (ms % 60000) / 60000.0) : 0.0);
    // One percent of the tank every twenty minutes.
    s.fuelLevelPercent = std::max(5.0, 75.0 - ms / 1200000.0);
    return s;
}

} // namespace zt
