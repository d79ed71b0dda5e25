// Throughput of the real links' code on the seams the tests use: SocketCAN on
// a socketpair (receive and send), the serial-line CAN parser and the J1708
// framer on simulated lines. Prints figures; no pass/fail.
#include "links/j1708_framing.h"
#include "links/slcan_protocol.h"
#include "links/socketcan_link.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <linux/can.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// CPU seconds of the whole process (both ends of the seam), which a loaded
// machine does not inflate the way it does wall time.
double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(usage.ru_utime) + s(usage.ru_stime);
}

void socketcanReceive(int frames) {
    int fds[2];
    ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds);
    auto link = zt::SocketCanLink::onDescriptor(fds[0], "pair");
    std::atomic<int> received{0};
    zt::Micros firstStamp = 0, lastStamp = 0;
    link->open(
        [&](const zt::CanFrame& f) {
            if (received.load(std::memory_order_relaxed) == 0)
                firstStamp = f.timestamp;
            lastStamp = f.timestamp;
            received.fetch_add(1, std::memory_order_release);
        },
        {});
    can_frame wire{};
    wire.can_id = 0x18FEF100 | CAN_EFF_FLAG;
    wire.can_dlc = 8;
    // The peer writes in batches, as a busy interface queues frames.
    constexpr int kBatch = 32;
    iovec io{&wire, sizeof wire};
    mmsghdr batch[kBatch]{};
    for (auto& m : batch) {
        m.msg_hdr.msg_iov = &io;
        m.msg_hdr.msg_iovlen = 1;
    }
    const double cpuStart = cpuSeconds();
    const auto start = Clock::now();
    for (int sent = 0; sent < frames;) {
        const int n = ::sendmmsg(fds[1], batch, std::min(kBatch, frames - sent), 0);
        sent += n > 0 ? n : 0;
    }
    while (received.load(std::memory_order_acquire) < frames)
        std::this_thread::yield();
    const double s = seconds(start);
    const double cpu = cpuSeconds() - cpuStart;
    link->close();
    ::close(fds[1]);
    std::printf(
        "SocketCAN receive (socketpair -> handler): %d frames in %.3f s = %.0f frames/s (goal >= 100000); "
        "%.0f frames per CPU second, both ends\n",
        frames, s, frames / s, frames / cpu);
    std::printf("  receive timestamps span %.3f s for those frames\n", double(lastStamp - firstStamp) / 1e6);
}

void socketcanSend(int frames) {
    int fds[2];
    ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds);
    auto link = zt::SocketCanLink::onDescriptor(fds[0], "pair");
    link->open([](const zt::CanFrame&) {}, {});
    std::thread peer([&] {
        constexpr int kBatch = 32;
        can_frame wire[kBatch];
        iovec io[kBatch];
        mmsghdr batch[kBatch]{};
        for (int i = 0; i < kBatch; ++i) {
            io[i] = {&wire[i], sizeof wire[i]};
            batch[i].msg_hdr.msg_iov = &io[i];
            batch[i].msg_hdr.msg_iovlen = 1;
        }
        for (int got = 0; got < frames;) {
            const int n = ::recvmmsg(fds[1], batch, kBatch, 0, nullptr);
            got += n > 0 ? n : 0;
        }
    });
    zt::CanFrame frame;
    frame.id = 0x18EF80F9;
    frame.length = 8;
    int failed = 0;
    const double cpuStart = cpuSeconds();
    const auto start = Clock::now();
    for (int i = 0; i < frames; ++i)
        failed += link->send(frame) != 0;
    peer.join();
    const double s = seconds(start);
    const double cpu = cpuSeconds() - cpuStart;
    link->close();
    ::close(fds[1]);
    std::printf(
        "SocketCAN send (send() -> socketpair): %d frames in %.3f s = %.0f frames/s, %d failed; %.0f frames "
        "per CPU second, both ends\n",
        frames, s, frames / s, failed, frames / cpu);
}

void slcanParser(int frames) {
    std::string stream;
    zt::CanFrame frame;
    frame.id = 0x0CF00400;
    frame.length = 8;
    for (int i = 0; i < 1000; ++i) {
        frame.data[0] = uint8_t(i);
        stream += zt::slcan::encodeFrame(frame);
    }
    zt::slcan::LineParser parser;
    std::vector<zt::slcan::Event> events;
    const auto* bytes = reinterpret_cast<const uint8_t*>(stream.data());
    size_t parsed = 0;
    const auto start = Clock::now();
    for (int round = 0; round < frames / 1000; ++round) {
        // Chunks of 1 to 64 bytes, as a USB CDC adapter hands them over.
        for (size_t at = 0, chunk = 1; at < stream.size(); at += chunk, chunk = chunk % 64 + 7)
            parser.feed({bytes + at, std::min(chunk, stream.size() - at)}, events);
        parsed += events.size();
        events.clear();
    }
    const double s = seconds(start);
    std::printf("slcan line parser: %zu frames in %.3f s = %.0f frames/s (%.1f MB/s of adapter text)\n",
                parsed, s, parsed / s, double(stream.size()) * (frames / 1000) / s / 1e6);
}

void j1708Framer(int messages) {
    // Bursts of four merged messages, some with the same MID back to back,
    // every tenth burst with a corrupted byte.
    const std::vector<uint8_t> a{0x80, 0x54, 0x12, 0x34, 0xE6}, b{0x80, 0xBE, 0x00, 0xC2};
    std::vector<uint8_t> burst;
    for (int i = 0; i < 2; ++i) {
        burst.insert(burst.end(), a.begin(), a.end());
        burst.insert(burst.end(), b.begin(), b.end());
    }
    zt::j1708::Framer framer;
    std::vector<zt::j1708::Framer::Message> out;
    size_t delivered = 0;
    zt::Micros now = 0;
    const auto start = Clock::now();
    for (int i = 0; i < messages / 4; ++i) {
        std::vector<uint8_t> line = burst;
        if (i % 10 == 9)
            line[2] ^= 0x01;
        framer.feed(line, now, out);
        now += 16 * zt::kMicrosPerMs; // a USB adapter's latency
        framer.poll(now, out);
        delivered += out.size();
        out.clear();
    }
    const double s = seconds(start);
    std::printf("J1708 framer: %zu messages in %.3f s = %.0f messages/s (a 9600 baud line carries < 200/s); "
                "%llu bytes dropped\n",
                delivered, s, delivered / s, static_cast<unsigned long long>(framer.droppedBytes()));
}

void timestampResolution() {
    timespec res{};
    ::clock_getres(CLOCK_REALTIME, &res);
    // The smallest step the driver's time base shows between two readings.
    zt::Micros smallest = 1000000;
    for (int i = 0; i < 100000; ++i) {
        const zt::Micros a = zt::systemClock().now();
        zt::Micros b = a;
        while (b == a)
            b = zt::systemClock().now();
        smallest = std::min(smallest, b - a);
    }
    std::printf(
        "receive timestamp resolution: %lld us in the driver's time base (kernel stamps: CLOCK_REALTIME, "
        "%ld ns); the receive buffer shows milliseconds\n",
        static_cast<long long>(smallest), res.tv_nsec);
}

} // namespace

int main() {
    socketcanReceive(300000);
    socketcanSend(300000);
    slcanParser(1000000);
    j1708Framer(400000);
    timestampResolution();
    return 0;
}
