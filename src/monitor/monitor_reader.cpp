#include "monitor/monitor_reader.h"

#include "connect/driver_binding.h"

#include <array>
#include <chrono>

namespace monitor {

namespace {
constexpr int16_t kJ1939BufferSize = 1785;
constexpr int16_t kJ1708BufferSize = 505;
// Reads per client before the other gets its turn.
constexpr int kReadsPerTurn = 256;
// Sleep when both clients are empty: a few milliseconds keeps a busy bus to
// a few hundred wake-ups a second and is far below the table's refresh.
constexpr auto kIdleSleep = std::chrono::milliseconds(2);
constexpr int16_t kCmdAllFiltersPass = 3;
constexpr int16_t kCmdMessageReceive = 18;
} // namespace

MicrosecondClock steadyMicroseconds() {
    return [] {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
}

MonitorReader::MonitorReader(MessageStore& store, MicrosecondClock clock)
    : store_(store), clock_(std::move(clock)) {}

MonitorReader::~MonitorReader() {
    close();
}

int16_t MonitorReader::connectClient(void* window, int16_t deviceId, const char* protocol) {
    const connect::DriverBinding& binding = connect::driverBinding();
    const int16_t client = binding.clientConnect(window, deviceId, protocol, 0, 0, 0);
    if (connect::isDriverError(client)) {
        if (!problems_.isEmpty())
            problems_ += QLatin1Char('\n');
        problems_ += QStringLiteral("The driver refused the monitor its own %1 client (%2), so the monitor "
                                    "shows no %1 messages. The Receive window is not affected.")
                         .arg(QLatin1String(protocol), connect::driverErrorText(client));
        return -1;
    }
    binding.sendCommand(kCmdAllFiltersPass, client, nullptr, 0);
    char on = 1;
    binding.sendCommand(kCmdMessageReceive, client, &on, 1);
    return client;
}

void MonitorReader::open(void* window, int16_t deviceId, uint8_t protocolBits) {
    close();
    problems_.clear();
    if (protocolBits & connect::J1939_BIT)
        j1939Client_ = connectClient(window, deviceId, "J1939");
    if (protocolBits & connect::J1708_BIT)
        j1708Client_ = connectClient(window, deviceId, "J1708");
    if (j1939Client_ < 0 && j1708Client_ < 0)
        return;
    stopping_ = false;
    delivered_ = 0;
    thread_ = std::thread([this] { run(); });
}

void MonitorReader::close() {
    if (thread_.joinable()) {
        stopping_ = true;
        thread_.join();
    }
    const connect::DriverBinding& binding = connect::driverBinding();
    for (int16_t* client : {&j1939Client_, &j1708Client_}) {
        if (*client >= 0)
            binding.clientDisconnect(*client);
        *client = -1;
    }
}

bool MonitorReader::drain(int16_t client, BusProtocol protocol, uint8_t* buffer, int16_t size) {
    const connect::DriverBinding& binding = connect::driverBinding();
    bool any = false;
    for (int i = 0; i < kReadsPerTurn && !stopping_.load(std::memory_order_relaxed); ++i) {
        const int16_t result = binding.readMessage(client, reinterpret_cast<char*>(buffer), size, 0);
        if (result <= 0 || result > size)
            break;
        const std::span<const uint8_t> bytes(buffer, std::size_t(result));
        const auto frame = protocol == BusProtocol::J1939 ? parseJ1939Buffer(bytes) : parseJ1708Buffer(bytes);
        delivered_.fetch_add(1, std::memory_order_relaxed);
        if (frame)
            store_.record(*frame, clock_());
        any = true;
    }
    return any;
}

void MonitorReader::run() {
    std::array<uint8_t, kJ1939BufferSize> buffer{};
    while (!stopping_.load(std::memory_order_relaxed)) {
        bool any = false;
        if (j1939Client_ >= 0)
            any |= drain(j1939Client_, BusProtocol::J1939, buffer.data(), kJ1939BufferSize);
        if (j1708Client_ >= 0)
            any |= drain(j1708Client_, BusProtocol::J1708, buffer.data(), kJ1708BufferSize);
        if (!any)
            std::this_thread::sleep_for(kIdleSleep);
    }
}

} // namespace monitor
