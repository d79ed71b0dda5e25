// Loads the driver as the program does and measures, on one client pair of
// the quiet device 102:
//  - throughput: one thread sends J1939 messages while another reads them
//    with blocking reads;
//  - latency: a single message in flight at a time, from just before
//    RP1210_SendMessage to the return of the blocking RP1210_ReadMessage on
//    the reader thread, and to a non-blocking reader that reads again at once.
#include <rp1210a/rp1210a.h>

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
    constexpr int kMessages = 1000000;
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
    return 0;
}
