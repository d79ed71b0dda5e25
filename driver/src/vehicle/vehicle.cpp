#include "vehicle/vehicle.h"

#include "j1939/j1939.h"

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

enum class Job { Eec1, Ccvs, Et1, Dm1, Pid190, Pid84, Pid110, J1850Rpm, J1850Speed, Reclaim };

struct Periodic {
    Job job;
    std::chrono::milliseconds period;
    std::chrono::milliseconds offset; // spreads the first sends apart
};

constexpr Periodic kSchedule[] = {
    {Job::Eec1, std::chrono::milliseconds(20), std::chrono::milliseconds(0)},
    {Job::Ccvs, std::chrono::milliseconds(100), std::chrono::milliseconds(5)},
    {Job::Et1, std::chrono::milliseconds(1000), std::chrono::milliseconds(15)},
    {Job::Dm1, std::chrono::milliseconds(1000), std::chrono::milliseconds(35)},
    {Job::Pid190, std::chrono::milliseconds(100), std::chrono::milliseconds(2)},
    {Job::Pid84, std::chrono::milliseconds(100), std::chrono::milliseconds(52)},
    {Job::Pid110, std::chrono::milliseconds(1000), std::chrono::milliseconds(27)},
    {Job::J1850Rpm, std::chrono::milliseconds(100), std::chrono::milliseconds(7)},
    {Job::J1850Speed, std::chrono::milliseconds(200), std::chrono::milliseconds(57)},
    // After losing its address the engine tries to claim it again now and then,
    // so it is back once the node that took it is gone.
    {Job::Reclaim, std::chrono::milliseconds(2000), std::chrono::milliseconds(2000)},
};

constexpr j1939::Token kEngineOwner = 1;
constexpr uint8_t kJ1708Priority = 8;

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

MessagePtr engineJ1939(uint32_t pgn, uint8_t source, uint32_t ms) {
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

MessagePtr engineJ1708(uint8_t pid, uint32_t ms) {
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

MessagePtr powertrainJ1850(uint8_t target, uint32_t ms) {
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

std::vector<uint8_t> vehicleIdentification() {
    std::vector<uint8_t> v(std::begin(kVin), std::end(kVin) - 1);
    v.push_back('*');
    return v;
}

std::vector<uint8_t> activeTroubleCodes() {
    // Amber warning lamp on, lamps not flashing; then per code SPN (19 bits),
    // FMI (5 bits), conversion method 0 and occurrence count.
    return {0x04, 0xFF,
            // SPN 110 coolant temperature, FMI 16 above normal (moderate), 3 times
            0x6E, 0x00, 0x10, 0x03,
            // SPN 100 oil pressure, FMI 1 below normal (most severe), once
            0x64, 0x00, 0x01, 0x01};
}

Vehicle::Vehicle(const Clock& clock, std::unique_ptr<CanLink> can, std::unique_ptr<J1708Link> j1708,
                 std::function<void(MessagePtr)> j1850, uint32_t startMs)
    : clock_(clock), j1708_(std::move(j1708)), j1850_(std::move(j1850)), startMs_(startMs) {
    J1939Node::Hooks hooks;
    // Both run under the node's mutex: they only queue and wake the thread.
    hooks.deliver = [this](const j1939::Message& m) {
        if (m.pgn != j1939::pgn::kRequest || m.data.size() < 3 || m.origin != 0)
            return;
        std::lock_guard lock(m_);
        requests_.push_back(m);
        wake_.notify_all();
    };
    hooks.claimChanged = [this](const j1939::ClaimEvent& e) {
        if (e.owner != kEngineOwner)
            return;
        holdsAddress_ = e.state == j1939::ClaimState::Claimed ||
                        (e.state == j1939::ClaimState::Claiming && j1939::usableAtOnce(e.address));
        std::lock_guard lock(m_);
        claim_ = e.state;
    };
    node_ = std::make_unique<J1939Node>(std::move(can), clock, std::move(hooks));
    j1708_->open([](const J1708Message&) {}); // the module listens to nobody
    node_->open();
    const auto state = node_->run(
        [](j1939::Engine& e, auto&) { return e.claim(kEngineOwner, kEngineAddress, kEngineName); });
    {
        std::lock_guard lock(m_);
        claim_ = state;
    }
    holdsAddress_ = state == j1939::ClaimState::Claimed || state == j1939::ClaimState::Claiming;
    thread_ = std::thread([this] { run(); });
}

Vehicle::~Vehicle() {
    {
        std::lock_guard lock(m_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    node_.reset();
    j1708_->close();
}

void Vehicle::sendJ1939(uint32_t pgn, uint8_t priority, uint8_t destination, std::span<const uint8_t> data) {
    node_->run([&](j1939::Engine& e, auto&) {
        if (!e.addressUsable(kEngineOwner))
            return; // the engine lost its address and stays silent
        j1939::OutgoingMessage m;
        m.pgn = pgn;
        m.priority = priority;
        m.source = e.claimedAddress(kEngineOwner);
        m.destination = destination;
        m.data = data;
        m.owner = kEngineOwner;
        e.send(m);
    });
}

void Vehicle::answer(const j1939::Message& request) {
    const auto& d = request.data;
    const uint32_t wanted = d[0] | (uint32_t{d[1]} << 8) | (uint32_t{d[2]} << 16);
    if (!holdsAddress_ || (request.destination != kEngineAddress && request.destination != kGlobalAddress))
        return;
    const uint32_t elapsed = nowMs() - startMs_;
    if (wanted == j1939::pgn::kAddressClaimed)
        return; // the engine's address claim answers these
    if (auto m = engineJ1939(wanted, kEngineAddress, elapsed)) {
        const auto data = m->data();
        sendJ1939(wanted, m->info.priority, kGlobalAddress, data);
    } else if (wanted == kPgnVehicleIdentification) {
        sendJ1939(wanted, 6, kGlobalAddress, vehicleIdentification());
    } else if (wanted == kPgnDm1) {
        sendJ1939(wanted, 6, kGlobalAddress, activeTroubleCodes());
    } else if (request.destination == kEngineAddress) {
        // Negative acknowledgment of a request addressed to the engine.
        const uint8_t nack[8] = {1,
                                 0xFF,
                                 0xFF,
                                 0xFF,
                                 request.source,
                                 static_cast<uint8_t>(wanted),
                                 static_cast<uint8_t>(wanted >> 8),
                                 static_cast<uint8_t>(wanted >> 16)};
        sendJ1939(kPgnAcknowledgment, 6, kGlobalAddress, nack);
    }
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
        wake_.wait_until(lock, next, [this] { return stop_ || !requests_.empty(); });
        if (stop_)
            break;
        std::deque<j1939::Message> requests;
        requests.swap(requests_);
        const j1939::ClaimState claim = claim_;
        lock.unlock();
        for (const auto& r : requests)
            answer(r);
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
                const uint32_t pgn = kSchedule[i].job == Job::Eec1   ? kPgnEec1
                                     : kSchedule[i].job == Job::Ccvs ? kPgnCcvs
                                                                     : kPgnEt1;
                const MessagePtr m = engineJ1939(pgn, kEngineAddress, elapsed);
                sendJ1939(pgn, m->info.priority, kGlobalAddress, m->data());
                break;
            }
            case Job::Dm1:
                sendJ1939(kPgnDm1, 6, kGlobalAddress, activeTroubleCodes());
                break;
            case Job::Reclaim:
                if (claim == j1939::ClaimState::Lost || claim == j1939::ClaimState::Failed)
                    node_->run(
                        [](j1939::Engine& e, auto&) { e.claim(kEngineOwner, kEngineAddress, kEngineName); });
                break;
            case Job::Pid190:
            case Job::Pid84:
            case Job::Pid110: {
                const uint8_t pid = kSchedule[i].job == Job::Pid190  ? 190
                                    : kSchedule[i].job == Job::Pid84 ? 84
                                                                     : 110;
                const MessagePtr m = engineJ1708(pid, elapsed);
                j1708_->send(std::span<const uint8_t>(m->bytes).subspan(kTimestampSize), kJ1708Priority);
                break;
            }
            case Job::J1850Rpm:
            case Job::J1850Speed: {
                const uint8_t target =
                    kSchedule[i].job == Job::J1850Rpm ? kJ1850EngineSpeed : kJ1850RoadSpeed;
                j1850_(powertrainJ1850(target, elapsed));
                break;
            }
            }
        }
        lock.lock();
    }
}

} // namespace zt
