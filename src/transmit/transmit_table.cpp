#include "transmit/transmit_table.h"

#include "connect/driver_binding.h"
#include "platform/clock.h"
#include "platform/posted_message.h"
#include "transmit/schedule.h"

#include <thread>

namespace transmit {

namespace {

class DriverTransmitIo final : public TransmitIo {
public:
    uint32_t now() override { return platform::tickCount(); }
    uint8_t connectedProtocols() override { return connect::driverBinding().connectedProtocols.load(); }
    int16_t send(int16_t client, const uint8_t* bytes, int16_t length, int16_t block) override {
        return connect::driverBinding().sendMessage(client, reinterpret_cast<const char*>(bytes), length, 0,
                                                    block);
    }
    int16_t clientId(int32_t protocol) override {
        connect::DriverBinding& binding = connect::driverBinding();
        switch (protocol) {
        case kJ1939:
            return binding.j1939ClientId.load();
        case kJ1850:
            return binding.j1850ClientId.load();
        default:
            return binding.j1708ClientId.load();
        }
    }
    void post(QObject* window, unsigned code) override {
        platform::postMessage(window, platform::kUserMessage, code, 0);
    }
};

} // namespace

void TransmitIo::sleepUntil(std::optional<uint32_t> due, TransmitWake& wake, uint64_t seen) {
    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (due)
        deadline = platform::tickTime(*due);
    wake.wait(seen, deadline);
}

TransmitIo& driverTransmitIo() {
    static DriverTransmitIo* io = new DriverTransmitIo; // used by a thread that outlives main
    return *io;
}

std::unique_lock<std::mutex> TransmitTable::windowLock() const {
    windowWaiting_.fetch_add(1);
    std::unique_lock lock(mutex_);
    windowWaiting_.fetch_sub(1);
    return lock;
}

std::unique_lock<std::mutex> TransmitTable::threadLock() const {
    while (windowWaiting_.load() != 0)
        std::this_thread::yield();
    return std::unique_lock(mutex_);
}

std::unique_ptr<TxMessage> TransmitTable::replace(int row, std::unique_ptr<TxMessage> message) {
    if (!validRow(row))
        return message;
    {
        auto lock = windowLock();
        rows_[row].swap(message);
        ++generations_[row].record;
    }
    wake_.notify();
    return message;
}

std::unique_ptr<TxMessage> TransmitTable::remove(int row) {
    std::unique_ptr<TxMessage> old;
    if (!validRow(row))
        return old;
    {
        auto lock = windowLock();
        old.swap(rows_[row]);
        ++generations_[row].record;
        ++generations_[row].count;
        counts_.rowCount[row] = 0;
    }
    wake_.notify();
    return old;
}

void TransmitTable::removeAll() {
    std::array<std::unique_ptr<TxMessage>, kTransmitRows> old;
    {
        auto lock = windowLock();
        old.swap(rows_);
        zeroCounts();
        for (Generations& generation : generations_)
            ++generation.record;
    }
    wake_.notify();
}

void TransmitTable::clearCounts() {
    {
        auto lock = windowLock();
        zeroCounts();
    }
    wake_.notify();
}

void TransmitTable::zeroCounts() {
    counts_ = RowCounts{};
    ++totalGeneration_;
    for (Generations& generation : generations_)
        ++generation.count;
}

RowCounts TransmitTable::counts() const {
    auto lock = windowLock();
    return counts_;
}

std::optional<TxMessage> TransmitTable::copyOf(int row) const {
    if (!validRow(row))
        return std::nullopt;
    auto lock = windowLock();
    if (!rows_[row])
        return std::nullopt;
    return *rows_[row];
}

int32_t TransmitTable::protocolOf(int row) const {
    if (!validRow(row))
        return 0;
    auto lock = windowLock();
    return rows_[row] ? rows_[row]->protocol : 0;
}

void TransmitTable::attach(QObject* window) {
    auto lock = windowLock();
    window_ = window;
}

void TransmitTable::detach(QObject* window) {
    auto lock = windowLock();
    if (window_ == window)
        window_ = nullptr;
}

void TransmitTable::startRun(TransmitIo& io) {
    auto lock = threadLock();
    counts_ = RowCounts{};
    io.post(window_, TX_STARTED);
}

std::optional<uint32_t> TransmitTable::nextDue(int row, uint32_t now, uint32_t runStart) const {
    const TxMessage* message = rows_[row].get();
    if (!message)
        return std::nullopt;
    const std::optional<uint32_t> wait = msUntilDue(*message, counts_.rowCount[row], now, runStart);
    if (!wait)
        return std::nullopt;
    return now + *wait;
}

std::optional<uint32_t> TransmitTable::serveRow(int row, uint32_t runStart, TransmitIo& io) {
    auto lock = threadLock();
    TxMessage* message = rows_[row].get();
    if (!message)
        return std::nullopt;
    const uint32_t now = io.now();
    if (decideRow(*message, counts_.rowCount[row], now, runStart) != RowDecision::Send)
        return nextDue(row, now, runStart);
    const SendTarget target = sendTarget(message->protocol, io.connectedProtocols());
    if (target != SendTarget::NoClient) {
        // The driver may take its time: send a copy with the lock released,
        // so the window is never held up by a slow call.
        const Generations before = generations_[row];
        const uint64_t totalBefore = totalGeneration_;
        const int32_t protocol = message->protocol;
        const int16_t length = message->sendLength();
        sendBuffer_.assign(message->buffer.begin(), message->buffer.end());
        const auto block = static_cast<int16_t>(blocking.load());
        lock.unlock();
        const int16_t result = io.send(io.clientId(protocol), sendBuffer_.data(), length, block);
        if (result != 0)
            return now + 1; // retried from the next millisecond on
        lock = threadLock();
        // As if the send had been counted before whatever the window did
        // meanwhile: a count zeroed since stays zero, a replaced record is
        // left as the window made it.
        const Generations& after = generations_[row];
        if (totalGeneration_ == totalBefore)
            ++counts_.totalTransmitted;
        if (after.count == before.count)
            ++counts_.rowCount[row];
        if (after.record == before.record) {
            message->lastSentTime = now;
            message->sentOnce = 1;
        }
        io.post(window_, TX_SENT);
        return nextDue(row, now, runStart);
    }
    message->lastSentTime = now;
    message->sentOnce = 1;
    ++counts_.rowCount[row];
    ++counts_.totalTransmitted;
    io.post(window_, TX_SENT);
    return nextDue(row, now, runStart);
}

std::optional<uint32_t> TransmitTable::servePass(uint32_t runStart, TransmitIo& io) {
    std::optional<uint32_t> earliest;
    for (int row = 0; row < kTransmitRows; ++row) {
        const std::optional<uint32_t> due = serveRow(row, runStart, io);
        if (due)
            earliest = earliest ? earlierTick(*earliest, *due) : *due;
    }
    return earliest;
}

} // namespace transmit
