#include "receive/receive_threads.h"

#include "platform/posted_message.h"
#include "receive/display_line.h"

#include <array>
#include <chrono>
#include <thread>

namespace receive {

// ---------------------------------------------------------------- ReceiveText

void ReceiveText::addLine(std::string_view line) {
    std::lock_guard lock(receiveTextLock_);
    if (addReceivedLine(rxText_, messageCount_, line))
        ++dropped_;
    ++added_;
    changed();
}

void ReceiveText::clear() {
    std::lock_guard lock(receiveTextLock_);
    rxText_.clear();
    messageCount_ = 0;
    addedAtClear_ = added_;
    changed();
}

bool ReceiveText::copyIfChanged(Snapshot& snapshot) const {
    if (generation() == snapshot.generation)
        return false;
    std::lock_guard lock(receiveTextLock_);
    const std::string_view text = rxText_.view();
    snapshot.rxText.assign(text.data(), text.size());
    snapshot.messageCount = messageCount_;
    snapshot.generation = generation_.load(std::memory_order_relaxed);
    snapshot.added = added_;
    snapshot.dropped = dropped_;
    return true;
}

void ReceiveText::takeBack(Snapshot& snapshot, std::string_view boxText, uint32_t boxCount) {
    std::lock_guard lock(receiveTextLock_);
    const uint64_t arrived = added_ - snapshot.added;
    const uint64_t dropped = dropped_ - snapshot.dropped;
    rxText_.assign(mergeTakenBack(rxText_.view(), arrived, dropped, boxText));
    messageCount_ = boxCount + uint32_t(arrived);
    changed();
    if (arrived == 0) {
        // The box shows exactly the text now: nothing to rewrite.
        snapshot.messageCount = messageCount_;
        snapshot.generation = generation_.load(std::memory_order_relaxed);
    }
    // Otherwise the snapshot keeps describing what the box shows, so a second
    // take-back before the next refresh keeps the new lines as well.
}

std::string ReceiveText::rxText() const {
    std::lock_guard lock(receiveTextLock_);
    return std::string(rxText_.view());
}

uint32_t ReceiveText::messageCount() const {
    std::lock_guard lock(receiveTextLock_);
    return messageCount_;
}

ReceiveText::Counters ReceiveText::counters() const {
    std::lock_guard lock(receiveTextLock_);
    return {messageCount_, added_ - addedAtClear_};
}

uint64_t ReceiveText::linesAdded() const {
    std::lock_guard lock(receiveTextLock_);
    return added_;
}

// ---------------------------------------------------------------- RefreshNotifier

void RefreshNotifier::setTarget(QObject* window) {
    std::lock_guard lock(targetLock_);
    target_ = window;
    pending_.store(0, std::memory_order_release);
}

void RefreshNotifier::notify() {
    notifications_.fetch_add(1, std::memory_order_relaxed);
    if (pending_.fetch_add(1, std::memory_order_acq_rel) != 0)
        return; // the queued event covers this message too
    std::lock_guard lock(targetLock_);
    if (target_ == nullptr) {
        pending_.store(0, std::memory_order_release);
        return;
    }
    eventsPosted_.fetch_add(1, std::memory_order_relaxed);
    platform::postMessage(target_, platform::kUserMessage, RX_REFRESH, 0);
}

uint64_t RefreshNotifier::consume() {
    return pending_.exchange(0, std::memory_order_acq_rel);
}

// ---------------------------------------------------------------- ReceiveShared

ReceiveShared& receiveShared() {
    // Never destroyed: the threads outlive everything else.
    static ReceiveShared* shared = new ReceiveShared;
    return *shared;
}

std::atomic<platform::AutoResetEvent*>& ReceiveShared::receiveEvent(connect::Protocol protocol) {
    switch (protocol) {
    case connect::Protocol::J1708:
        return j1708ReceiveEvent;
    case connect::Protocol::J1850:
        return j1850ReceiveEvent;
    case connect::Protocol::J1939:
        break;
    }
    return j1939ReceiveEvent;
}

bool ReceiveShared::isWaiting(connect::Protocol protocol) {
    if (!waiting[int(protocol)].load())
        return false;
    platform::AutoResetEvent* event = receiveEvent(protocol).load();
    return event == nullptr || event->hasParkedWaiter();
}

namespace {

void waitForStart(ReceiveShared& shared, connect::Protocol protocol) {
    platform::AutoResetEvent* event = shared.receiveEvent(protocol).load();
    shared.waiting[int(protocol)].store(true);
    if (event != nullptr)
        event->wait();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(10)); // no event installed yet
    shared.waiting[int(protocol)].store(false);
}

[[noreturn]] void receiveLoop(connect::Protocol protocol) {
    ReceiveShared& shared = receiveShared();
    const connect::DriverBinding& binding = connect::driverBinding();
    const ReceiveLimits limits = receiveLimits(protocol);
    std::array<uint8_t, kLargestReceiveBuffer> buffer{};
    std::array<char, kLineBufferSize> line{};
    for (;;) {
        if (shared.receiveStopped.load() != 0) {
            waitForStart(shared, protocol);
            continue;
        }
        const int16_t result =
            binding.readMessage(binding.clientIdOf(protocol), reinterpret_cast<char*>(buffer.data()),
                                int16_t(limits.bufferSize), int16_t(shared.blockingPoll.load()));
        const auto length = uint16_t(result);
        if (!isAcceptedLength(protocol, length))
            continue;
        const bool hexMode = shared.hexMode.load() != 0;
        const std::size_t size = formatDisplayLine(protocol, buffer.data(), length, hexMode, line.data());
        shared.text.addLine(std::string_view(line.data(), size));
        shared.refresh.notify();
    }
}

} // namespace

void J1708ReceiveThread() {
    receiveLoop(connect::Protocol::J1708);
}
void J1850ReceiveThread() {
    receiveLoop(connect::Protocol::J1850);
}
void J1939ReceiveThread() {
    receiveLoop(connect::Protocol::J1939);
}

} // namespace receive
