// Many threads on the driver at once: senders, blocking and non-blocking
// readers, a thread changing settings and asking status, and one connecting
// and disconnecting clients of the vehicle device (starting and stopping the
// vehicle thread). Built to run under ThreadSanitizer, so it is a plain
// executable: no uninstrumented library threads share the process.
#include "driver_api.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

using Bytes = std::vector<uint8_t>;

namespace {

constexpr uint32_t kPerSender = 20000;

uint32_t sequenceOf(const Bytes& m) {
    return m[10] | (m[11] << 8) | (m[12] << 16) | (uint32_t{m[13]} << 24);
}

} // namespace

#define CHECK(cond)                                                                                          \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);                    \
            return 1;                                                                                        \
        }                                                                                                    \
    } while (0)

int main() {
    DriverApi api;
    CHECK(api.load());
    {
        const int16_t senders[2] = {api.open(102, "J1939"), api.open(102, "J1939")};
        const int16_t ordered = api.open(102, "J1939"); // everything, blocking reads
        const int16_t polled = api.open(102, "J1939");  // everything, non-blocking reads
        const int16_t churned = api.open(102, "J1939"); // settings changed under it
        for (int16_t id : {senders[0], senders[1], ordered, polled, churned})
            CHECK(id >= 0);

        std::atomic<bool> sendersDone{false};
        std::mutex failuresLock;
        std::vector<std::string> failures;
        auto fail = [&](const std::string& what) {
            std::lock_guard lock(failuresLock);
            failures.push_back(what);
        };

        std::vector<std::thread> threads;
        for (int s = 0; s < 2; ++s) {
            threads.emplace_back([&, s] {
                for (uint32_t seq = 0; seq < kPerSender; ++seq) {
                    const Bytes tx =
                        j1939Tx(0xFF00 + s, 6, static_cast<uint8_t>(0x10 + s), 0,
                                {static_cast<uint8_t>(seq), static_cast<uint8_t>(seq >> 8),
                                 static_cast<uint8_t>(seq >> 16), static_cast<uint8_t>(seq >> 24)});
                    const int16_t r =
                        api.send(senders[s], reinterpret_cast<const char*>(tx.data()),
                                 static_cast<int16_t>(tx.size()), 0, static_cast<int16_t>(seq & 1));
                    if (r != 0)
                        fail("send " + std::to_string(r));
                }
            });
        }

        uint32_t orderedCount = 0;
        threads.emplace_back([&] {
            uint32_t next[2] = {0, 0};
            for (;;) {
                int16_t n = 0;
                const Bytes m = api.readOne(ordered, true, &n);
                // A read blocked at the disconnect is woken with "client
                // disconnected"; one that starts after it finds the id gone.
                if (n == -ERR_CLIENT_DISCONNECTED || n == -ERR_INVALID_CLIENT_ID)
                    return;
                if (n == -ERR_RX_QUEUE_FULL)
                    continue;
                if (n == 18 && rxPgn(m) == 0xEE00)
                    continue; // the commander's address claims
                if (n != 14) {
                    fail("ordered read " + std::to_string(n));
                    continue;
                }
                const int s = m[8] - 0x10;
                const uint32_t seq = sequenceOf(m);
                if (s < 0 || s > 1 || seq < next[s])
                    fail("out of order: sender " + std::to_string(s) + " seq " + std::to_string(seq));
                else
                    next[s] = seq + 1;
                ++orderedCount;
            }
        });
        threads.emplace_back([&] {
            while (!sendersDone.load()) {
                int16_t n = 0;
                api.readOne(polled, false, &n);
                if (n != 0 && n != 14 && n != 18 && n != -ERR_RX_QUEUE_FULL)
                    fail("polled read " + std::to_string(n));
            }
        });
        threads.emplace_back([&] {
            for (int i = 0;; ++i) {
                int16_t n = 0;
                api.readOne(churned, i % 2 == 0, &n, i % 7 == 0 ? 8 : 64);
                // A read blocked at the disconnect is woken with "client
                // disconnected"; one that starts after it finds the id gone.
                if (n == -ERR_CLIENT_DISCONNECTED || n == -ERR_INVALID_CLIENT_ID)
                    return;
                if (n != 0 && n != 14 && n != 18 && n != -ERR_RX_QUEUE_FULL && n != -ERR_MESSAGE_TOO_LONG)
                    fail("churned read " + std::to_string(n));
            }
        });
        threads.emplace_back([&] {
            for (int i = 0; !sendersDone.load(); ++i) {
                int16_t r = 0;
                switch (i % 6) {
                case 0:
                    r = api.cmd(RP1210_Set_All_Filters_States_to_Discard, churned, {});
                    break;
                case 1:
                    r = api.cmd(RP1210_Set_Message_Filtering_For_J1939, churned, {0x04, 0, 0, 0, 0, 0x11, 0});
                    break;
                case 2:
                    r = api.cmd(RP1210_Set_All_Filters_States_to_Pass, churned, {});
                    break;
                case 3:
                    r = api.cmd(RP1210_Set_Message_Receive, churned, {static_cast<uint8_t>(i & 1)});
                    break;
                case 4:
                    r = api.cmd(RP1210_Echo_Transmitted_Messages, senders[i & 1],
                                {static_cast<uint8_t>(i & 1)});
                    break;
                case 5:
                    r = api.cmd(RP1210_Protect_J1939_Address, churned, {0x80, 1, 0, 0, 0, 0, 0, 0, 0, 0});
                    break;
                }
                if (r != 0)
                    fail("command " + std::to_string(i % 6) + ": " + std::to_string(r));
                Bytes s(32);
                if (api.status(churned, reinterpret_cast<char*>(s.data()), 32, 0) != 0)
                    fail("status");
            }
            api.cmd(RP1210_Set_Message_Receive, churned, {1});
        });
        threads.emplace_back([&] {
            // Vehicle device churn: its thread starts and stops over and over.
            for (int i = 0; i < 60; ++i) {
                const int16_t a = api.open(101, i % 2 ? "J1939" : "J1708");
                if (a < 0) {
                    fail("connect " + std::to_string(a));
                    continue;
                }
                if (i % 2)
                    api.cmd(RP1210_Protect_J1939_Address, a, {0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0});
                api.readOne(a, false);
                if (api.disconnect(a) != 0)
                    fail("disconnect");
            }
        });

        threads[0].join();
        threads[1].join();
        sendersDone = true;
        for (std::size_t i = 2; i < threads.size(); ++i) {
            // The two readers that end on a disconnect are joined after it.
            if (i == 2 || i == 4)
                continue;
            threads[i].join();
        }
        // Let the ordered reader drain its queue, then take its loss count.
        while (be32(api.statusBytes(ordered), 12) != 0)
            std::this_thread::yield();
        const uint32_t dropped = be32(api.statusBytes(ordered), 20);
        CHECK(api.disconnect(ordered) == 0);
        CHECK(api.disconnect(churned) == 0);
        threads[2].join();
        threads[4].join();
        for (int16_t id : {senders[0], senders[1], polled})
            CHECK(api.disconnect(id) == 0);

        for (std::size_t i = 0; i < failures.size() && i < 10; ++i)
            std::fprintf(stderr, "failure: %s\n", failures[i].c_str());
        CHECK(failures.empty());
        // Every sender message arrived in order or was counted as dropped
        // (the drop count also covers the commander's claims).
        CHECK(orderedCount <= 2 * kPerSender);
        CHECK(orderedCount + dropped >= 2 * kPerSender);
        std::printf("stress: %u messages read in order, %u dropped\n", orderedCount, dropped);
    }
    api.unload();
    return 0;
}
