// The J1939 transport protocol (BAM and RTS/CTS) of one engine: transfers it
// sends, transfers to its protected addresses it answers, and transfers
// between other nodes it follows without taking part.
#pragma once

#include "j1939/engine.h"

#include <bitset>
#include <deque>
#include <map>
#include <optional>

namespace zt::j1939 {

class Transport {
public:
    // Frames go out through the engine (and come back to onFrame as
    // FrameOrigin::Transport); messages and completions go to its callbacks.
    Transport(Engine& engine, const EngineOptions& options);

    // A 9..1785-byte message, checked by the caller. Always accepted.
    void send(Message&& message, Micros now);

    // A TP.CM or TP.DT frame. The engine's own transport frames (origin
    // Transport) are taken in only by its sending and answering sides.
    void onFrame(const FrameId& id, std::span<const uint8_t> data, Micros timestamp, FrameOrigin origin,
                 Micros now);

    void poll(Micros now);
    Micros nextDeadline() const;

    // The address was lost: sends from it end (result 153) without an Abort,
    // and sessions answered on its behalf end without a frame.
    void stopAddress(uint8_t address);

    std::size_t receiveSessionCount() const { return receives_.size(); }
    std::size_t receiveBufferedBytes() const;
    std::size_t pendingSendCount() const;

private:
    // The timer a session runs, which says what it waits for:
    //   T1      a receiver, for the next packet of the window it asked for;
    //   T2      a receiver, for the first packet after its CTS;
    //   T3      a sender, for a CTS after its RTS or its last packet on the
    //           wire; a follower, for the next frame of the transfer;
    //   T4      a sender, for the next CTS after a hold;
    //   BamGap  a BAM sender, for the time to send its next packet; a BAM
    //           receiver waits T1 for it.
    enum class Timer : uint8_t { T1, T2, T3, T4, BamGap };

    struct TxSession {
        Message message;
        uint8_t packets = 0;
        uint8_t perCts = 0;        // the RTS's limit of packets per CTS
        uint8_t nextBamPacket = 1; // the packet the gap timer sends
        Timer timer = Timer::T3;
        Micros deadline = kNoDeadline;
    };
    struct TxChannel {
        std::optional<TxSession> active;
        std::deque<Message> queued;
    };
    enum class RxKind : uint8_t { Answering, Following, Broadcast };
    struct RxSession {
        RxKind kind = RxKind::Following;
        // Opened by this engine's own RTS (a client sending to another
        // client's address): it takes only the engine's own frames, and the
        // sending side delivers the message.
        bool ownTransfer = false;
        uint32_t pgn = 0;
        uint8_t priority = kDefaultPriority;
        uint8_t source = 0;
        uint8_t destination = kGlobalAddress;
        uint8_t packets = 0;
        uint8_t perCts = 255;     // the RTS's limit
        uint8_t windowEnd = 0;    // last packet asked for in the current CTS
        uint8_t lastInWindow = 0; // last packet received since that CTS
        uint8_t retransmits = 0;
        uint16_t received = 0;
        std::vector<uint8_t> data;
        std::bitset<256> got;
        Micros lastTimestamp = 0;
        Timer timer = Timer::T3;
        Micros deadline = kNoDeadline;
    };
    static uint16_t key(uint8_t source, uint8_t destination) { return uint16_t(source << 8 | destination); }

    Micros timeoutOf(Timer timer) const;
    template <typename Session> void arm(Session& s, Timer timer, Micros now) {
        s.timer = timer;
        s.deadline = now + timeoutOf(timer);
    }

    void startNext(uint16_t channelKey, Micros now);
    void finishTx(uint16_t channelKey, int result, uint8_t reason, Micros now);
    void sendPackets(TxSession& s, uint8_t first, uint8_t count);
    void onTxControl(uint16_t channelKey, std::span<const uint8_t> d, Micros now);
    void onOwnTxFrame(const FrameId& id, std::span<const uint8_t> d, Micros now);

    void onRts(const FrameId& id, std::span<const uint8_t> d, Micros timestamp, bool own, Micros now);
    void onBam(const FrameId& id, std::span<const uint8_t> d, Micros timestamp, Micros now);
    void onData(const FrameId& id, std::span<const uint8_t> d, Micros timestamp, bool own, Micros now);
    void emit(const CanFrame& frame);
    void deliver(Message&& message);
    void done(const SendCompletion& completion);
    void sendCts(RxSession& r, Micros now);
    void finishRx(std::map<uint16_t, RxSession>::iterator it);
    bool addReceive(uint16_t k, RxSession&& r);

    void emitControl(uint8_t priority, uint8_t source, uint8_t destination, std::array<uint8_t, 8> bytes);
    void emitAbort(uint8_t priority, uint8_t source, uint8_t destination, uint32_t pgn, uint8_t reason);

    Engine& engine_;
    const EngineOptions& options_;
    std::map<uint16_t, TxChannel> sends_;    // (source, destination); destination 255 for BAM
    std::map<uint16_t, RxSession> receives_; // (source, destination)
};

} // namespace zt::j1939
