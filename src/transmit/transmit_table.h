#pragma once
// The sixteen transmit rows, their records and counts: what the Transmit
// window and the transmit thread share. One mutex guards the row slots, the
// records' lastSentTime/sentOnce, the counts and the window to notify. The
// thread holds it while it decides on a row and copies the message out, and
// again to count a send; the driver call itself runs without it, so a slow
// driver never holds up the window. A send is counted as if it had finished
// before any change the window made during it. The window holds the mutex
// for every change, and asks first through a flag that the thread honours
// before it takes the lock again, so the window is never starved by the
// thread's passes. Every change the window makes to the rows or counts wakes
// the thread from its sleep between passes.

#include "transmit/transmit_wake.h"
#include "transmit/tx_message.h"

#include <QObject>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace transmit {

inline constexpr int kTransmitRows = 16;

// Codes posted to the window (message platform::kUserMessage, wParam).
enum TransmitNotification : unsigned { TX_SENT = 1, TX_STARTED = 2 };

struct RowCounts {
    std::array<int32_t, kTransmitRows> rowCount{};
    int32_t totalTransmitted = 0;
};

// What the thread needs from the world; tests give their own clock and driver.
class TransmitIo {
public:
    virtual ~TransmitIo() = default;
    virtual uint32_t now() = 0;
    virtual uint8_t connectedProtocols() = 0;
    // RP1210_SendMessage on client; 0 is success.
    virtual int16_t send(int16_t client, const uint8_t* bytes, int16_t length, int16_t block) = 0;
    virtual int16_t clientId(int32_t protocol) = 0;
    virtual void post(QObject* window, unsigned code) = 0;
    // Sleeps between passes until the clock reads due (none: no row becomes
    // due by itself) or wake counts a change after seen. This one is for a
    // clock that is platform::tickCount(): it waits on the steady clock for
    // the moment that reading begins.
    virtual void sleepUntil(std::optional<uint32_t> due, TransmitWake& wake, uint64_t seen);
};

// The program's clock, driver binding and posted messages.
TransmitIo& driverTransmitIo();

class TransmitTable {
public:
    TransmitTable() = default;
    TransmitTable(const TransmitTable&) = delete;
    TransmitTable& operator=(const TransmitTable&) = delete;

    // --- window side ---
    // Puts a complete record into a row; returns the record it replaces.
    // The row's count is kept.
    std::unique_ptr<TxMessage> replace(int row, std::unique_ptr<TxMessage> message);
    // Empties a row and zeroes its count; returns the record it held.
    std::unique_ptr<TxMessage> remove(int row);
    // Empties every row (returns nothing: the records are released here).
    void removeAll();
    void clearCounts();
    RowCounts counts() const;
    // A copy of a row's record (nothing for an empty row).
    std::optional<TxMessage> copyOf(int row) const;
    // Protocol code of a row's message; 0 when the row is empty.
    int32_t protocolOf(int row) const;
    // The window the thread notifies; detach(window) forgets it only if it
    // is still the one registered.
    void attach(QObject* window);
    void detach(QObject* window);

    // "Blocking": read by the thread at every send.
    std::atomic<int> blocking{0};

    // Counts the window's changes to rows and counts, and Start and Stop.
    TransmitWake& wake() { return wake_; }

    // --- thread side ---
    // A run starts: the counts are zeroed before any row is served, then
    // TX_STARTED is posted.
    void startRun(TransmitIo& io);
    // Serves one row of a pass (at most one send); returns the clock reading
    // at which the row is next due, if it can become due by itself. A failed
    // send is due again at the next millisecond.
    std::optional<uint32_t> serveRow(int row, uint32_t runStart, TransmitIo& io);
    // One pass over the sixteen rows in row order; returns the earliest
    // reading at which one of them is next due.
    std::optional<uint32_t> servePass(uint32_t runStart, TransmitIo& io);

private:
    std::unique_lock<std::mutex> windowLock() const;
    std::unique_lock<std::mutex> threadLock() const;
    static bool validRow(int row) { return row >= 0 && row < kTransmitRows; }
    void zeroCounts();                                                               // caller holds the lock
    std::optional<uint32_t> nextDue(int row, uint32_t now, uint32_t runStart) const; // caller holds the lock

    mutable std::mutex mutex_;
    mutable std::atomic<int> windowWaiting_{0};
    std::array<std::unique_ptr<TxMessage>, kTransmitRows> rows_;
    // Bumped by the window when a row's record is replaced or removed, and
    // when its count or the total is zeroed, so a send that was under way
    // is counted as if it had finished first.
    struct Generations {
        uint64_t record = 0;
        uint64_t count = 0;
    };
    std::array<Generations, kTransmitRows> generations_{};
    uint64_t totalGeneration_ = 0;
    std::vector<uint8_t> sendBuffer_; // the thread's copy of the message it sends
    RowCounts counts_;
    QObject* window_ = nullptr;
    TransmitWake wake_;
};

} // namespace transmit
