// Fuzzes the J1939 engine with frames from a hostile node, clock advances,
// sends and claims: it must not crash, its memory must stay under its caps,
// its next deadline must never lie in the past after a poll (the owner would
// spin), and every accepted send must end with exactly one completion.
#include "j1939/engine.h"

#include <cstdint>
#include <cstdlib>
#include <span>

using namespace zt;
using namespace zt::j1939;

namespace {

struct Input {
    std::span<const uint8_t> bytes;
    std::size_t at = 0;
    bool empty() const { return at >= bytes.size(); }
    uint8_t next() { return empty() ? 0 : bytes[at++]; }
};

constexpr uint32_t kPgns[] = {
    pgn::kTpConnectionManagement, pgn::kTpDataTransfer, pgn::kAddressClaimed, pgn::kRequest, 0xFECA, 0xAB00};

void check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ManualClock clock;
    std::size_t accepted = 0, completed = 0;
    EngineCallbacks cb;
    std::vector<CanFrame> sent; // to feed back when the owner loops frames back
    Input in{{data, size}};
    const bool ownerLoops = in.next() & 1;
    cb.transmit = [&](const CanFrame& f) {
        check(f.length <= 8);
        if (ownerLoops)
            sent.push_back(f);
    };
    cb.deliver = [](const Message& m) { check(m.data.size() <= kMaxTransport); };
    cb.sendDone = [&](const SendCompletion&) { ++completed; };
    cb.claimChanged = [](const ClaimEvent&) {};
    EngineOptions options;
    options.maxReceiveSessions = 8;
    options.maxPendingSends = 16;
    options.ctsWindow = 3;
    options.ownerLoopsFramesBack = ownerLoops;
    Engine engine(clock, cb, options);
    engine.claim(1, 0x80, 0x2000000000000080);
    engine.claim(2, 0x81, 0x2000000000000081);
    engine.claim(3, 0x20, 0x2000000000000020);

    uint8_t payload[kMaxTransport + 1] = {};
    while (!in.empty()) {
        const uint8_t op = in.next();
        switch (op % 8) {
        case 0:
        case 1:
        case 2:
        case 3: { // a frame, mostly of the PGNs the engine acts on
            const uint8_t pick = in.next();
            const uint32_t pgn = pick < 240 ? kPgns[pick % std::size(kPgns)] : (uint32_t(in.next()) << 8);
            CanFrame f;
            f.id = encodeId(op >> 5, pgn, in.next(), in.next());
            f.length = in.next() % 9;
            for (uint8_t i = 0; i < f.length; ++i)
                f.data[i] = in.next();
            f.timestamp = clock.now();
            engine.onFrame(f);
            break;
        }
        case 4:
        case 5: { // time passes
            clock.advance(Micros(in.next()) * 8 * kMicrosPerMs);
            engine.poll();
            check(engine.nextDeadline() > clock.now());
            break;
        }
        case 6: { // a client sends
            const std::size_t length = (in.next() | in.next() << 8) % (kMaxTransport + 2);
            const uint8_t source = in.next(), destination = in.next();
            const int result =
                engine.send({0xAB00, 6, source, destination, {payload, length}, 1, Token(op >> 6)});
            if (result == 0)
                ++accepted;
            break;
        }
        case 7: { // a client claims or lets go
            const Token owner = 1 + (op >> 3) % 4;
            if (op & 0x80)
                engine.release(owner);
            else
                engine.claim(owner, in.next(), 0x2000000000000000 | in.next());
            break;
        }
        }
        // The bus takes the engine's frames; some are lost on the way back.
        for (std::size_t i = 0; i < sent.size(); ++i)
            if ((in.bytes.size() + i) % 7 != 0) {
                const CanFrame f = sent[i]; // the engine may send more meanwhile
                engine.onOwnFrame(f);
            }
        sent.clear();
        check(engine.receiveSessionCount() <= options.maxReceiveSessions);
        check(engine.receiveBufferedBytes() <= options.maxReceiveSessions * kMaxTransport);
        check(engine.pendingSendCount() <= options.maxPendingSends);
    }

    // With the bus silent, every timer runs out and every send ends: each
    // pending send takes at most one poll per packet and one for its end,
    // each receive and claim a few.
    const std::size_t maxPolls =
        options.maxPendingSends * (packetCount(kMaxTransport) + 2) + options.maxReceiveSessions + 100;
    for (std::size_t i = 0; i < maxPolls && engine.nextDeadline() != kNoDeadline; ++i) {
        clock.set(engine.nextDeadline());
        engine.poll();
        sent.clear();
    }
    check(engine.nextDeadline() == kNoDeadline);
    check(engine.receiveSessionCount() == 0 && engine.pendingSendCount() == 0);
    check(accepted == completed);
    return 0;
}
