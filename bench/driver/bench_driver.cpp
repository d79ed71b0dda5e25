// Loads the driver as the program does and measures, on one client pair of
// the quiet device 102:
//  - throughput: one thread sends J1939 messages while another reads them
//    with blocking reads;
//  - latency: a single message in flight at a time, from just before
//    RP1210_SendMessage to the return of the blocking RP1210_ReadMessage on
//    the reader thread, and to a non-blocking reader that reads again at once;
//  - a 1785-byte RTS/CTS transfer between two clients of device 102 with its
//    bus paced at 250 kbit/s (a private copy of the library with its own
//    ini file), against the least time a 250 kbit/s bus needs for it.
#include <rp1210a/rp1210a.h>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Api {
    RP1210_ClientConnect_Fn connect;
    RP1210_ClientDisconnect_Fn disconnect;
    RP1210_SendMessage_Fn send;
    RP1210_ReadMessage_Fn read;
    RP1210_SendCommand_Fn command;
};

template <typename F> F resolve(void* h, const char* name) {
    void* p = dlsym(h, name);
    if (p == nullptr) {
        std::fprintf(stderr, "missing %s\n", name);
        std::exit(1);
    }
    return reinterpret_cast<F>(p);
}

int16_t open(const Api& api) {
    const int16_t id = api.connect(nullptr, 102, "J1939", 0, 0, 0);
    if (id < 0 || id >= 128) {
        std::fprintf(stderr, "connect failed: %d\n", id);
        std::exit(1);
    }
    api.command(RP1210_Set_All_Filters_States_to_Pass, id, nullptr, 0);
    return id;
}

} // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : TARVIK_DRIVER_PATH;
    void* h = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    const Api api{resolve<RP1210_ClientConnect_Fn>(h, "RP1210_ClientConnect"),
                  resolve<RP1210_ClientDisconnect_Fn>(h, "RP1210_ClientDisconnect"),
                  resolve<RP1210_SendMessage_Fn>(h, "RP1210_SendMessage"),
                  resolve<RP1210_ReadMessage_Fn>(h, "RP1210_ReadMessage"),
                  resolve<RP1210_SendCommand_Fn>(h, "RP1210_SendCommand")};
    const int16_t tx = open(api);
    const int16_t rx = open(api);
    char msg[14] = {static_cast<char>(0xF1), static_cast<char>(0xFE), 0, 6, 0x21, 0, 1, 2, 3, 4, 5, 6, 7, 8};

    // Throughput.
    // TARVIK_BENCH_MESSAGES shortens the run, e.g. under callgrind.
    const char* count = std::getenv("TARVIK_BENCH_MESSAGES");
    const int kMessages = count != nullptr ? std::max(1, std::atoi(count)) : 1000000;
    std::atomic<int> received{0};
    std::atomic<int> lost{0};
    const auto start = Clock::now();
    std::thread reader([&] {
        char buf[64];
        while (received.load(std::memory_order_relaxed) + lost.load(std::memory_order_relaxed) < kMessages) {
            const int16_t n = api.read(rx, buf, sizeof buf, 1);
            if (n > 0)
                received.fetch_add(1, std::memory_order_relaxed);
            else if (n == -ERR_RX_QUEUE_FULL)
                lost.store(kMessages, std::memory_order_relaxed); // a lost message ends the run
        }
    });
    int sent = 0;
    while (sent < kMessages && lost.load(std::memory_order_relaxed) == 0) {
        // Stay within the receive queue so that nothing is dropped.
        if (sent - received.load(std::memory_order_relaxed) >= 8000) {
            std::this_thread::yield();
            continue;
        }
        if (api.send(tx, msg, sizeof msg, 0, 0) == 0)
            ++sent;
    }
    reader.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf(
        "throughput: %d messages in %.3f s = %.0f messages/s (send + blocking read, one client pair)\n",
        received.load(), seconds, received.load() / seconds);
    if (lost.load() != 0)
        std::printf("warning: the receive queue overflowed\n");

    // Latency, with a blocking reader and with a non-blocking one that reads
    // again as soon as a read returns 0 (the Receive window's default): the
    // second shows what the driver's wait on an empty read adds.
    auto latency = [&](int16_t block) {
        constexpr int kRounds = 20000;
        std::vector<double> micros;
        micros.reserve(kRounds);
        std::atomic<Clock::rep> sentAt{0};
        std::atomic<bool> ready{false};
        std::thread echo([&] {
            char buf[64];
            for (int i = 0; i < kRounds; ++i) {
                ready.store(true, std::memory_order_release);
                int16_t n = 0;
                do
                    n = api.read(rx, buf, sizeof buf, block);
                while (n == 0 && block == 0);
                if (n <= 0)
                    continue;
                const auto now = Clock::now().time_since_epoch().count();
                micros.push_back(std::chrono::duration<double, std::micro>(
                                     Clock::duration(now - sentAt.load(std::memory_order_acquire)))
                                     .count());
            }
        });
        for (int i = 0; i < kRounds; ++i) {
            while (!ready.exchange(false, std::memory_order_acq_rel))
                std::this_thread::yield();
            sentAt.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
            api.send(tx, msg, sizeof msg, 0, 1);
        }
        echo.join();
        std::sort(micros.begin(), micros.end());
        if (!micros.empty()) {
            std::printf(
                "latency send to %s read over %zu messages: median %.1f us, p99 %.1f us, max %.1f us\n",
                block != 0 ? "blocking" : "non-blocking", micros.size(), micros[micros.size() / 2],
                micros[micros.size() * 99 / 100], micros.back());
        }
    };
    latency(1);
    latency(0);
    api.disconnect(tx);
    api.disconnect(rx);
    dlclose(h);

    // The paced transfer.
    const auto dir =
        std::filesystem::temp_directory_path() / ("tarvik-bench-paced-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(path, dir / "libZT121032.so",
                               std::filesystem::copy_options::overwrite_existing);
    std::ofstream(dir / "ZT121032.ini")
        << "[DeviceInformation1]\nDeviceID=102\nCANBitrate=250000\nPaced=Yes\n"
           "[ProtocolInformation1]\nProtocolString=J1939\nDevices=102\n";
    void* paced = dlopen((dir / "libZT121032.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (paced == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    const Api p{resolve<RP1210_ClientConnect_Fn>(paced, "RP1210_ClientConnect"),
                resolve<RP1210_ClientDisconnect_Fn>(paced, "RP1210_ClientDisconnect"),
                resolve<RP1210_SendMessage_Fn>(paced, "RP1210_SendMessage"),
                resolve<RP1210_ReadMessage_Fn>(paced, "RP1210_ReadMessage"),
                resolve<RP1210_SendCommand_Fn>(paced, "RP1210_SendCommand")};
    const int16_t sender = open(p);
    const int16_t receiver = open(p);
    char claim[10] = {char(0x80), 1, 0, 0, 0, 0, 0, 0, 0, 0};
    p.command(RP1210_Protect_J1939_Address, receiver, claim, sizeof claim);
    std::vector<char> big(6 + 1785);
    big[1] = char(0xEF); // proprietary A, to one address
    big[3] = 6;
    big[4] = char(0xF9);
    big[5] = char(0x80);
    std::vector<double> ms;
    for (int round = 0; round < 5; ++round) {
        const auto t0 = Clock::now();
        const int16_t result = p.send(sender, big.data(), int16_t(big.size()), 0, 1);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        if (result != 0)
            std::printf("transfer failed: %d\n", result);
    }
    std::sort(ms.begin(), ms.end());
    // RTS, 16 CTS (16 packets each), 255 data packets and the acknowledgment:
    // 273 frames of 131 bits.
    const double minimumMs = 273.0 * 131.0 / 250000.0 * 1000.0;
    std::printf("1785-byte RTS/CTS transfer between two clients of device 102 paced at 250 kbit/s: "
                "median %.1f ms (5 runs); a 250 kbit/s bus needs at least %.1f ms\n",
                ms[ms.size() / 2], minimumMs);
    p.disconnect(sender);
    p.disconnect(receiver);
    dlclose(paced);
    std::filesystem::remove_all(dir);
    return 0;
}
