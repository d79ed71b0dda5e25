#include "links/j1708_framing.h"

#include <algorithm>

namespace zt::j1708 {

uint8_t checksum(std::span<const uint8_t> midAndData) {
    uint8_t sum = 0;
    for (const uint8_t b : midAndData)
        sum = static_cast<uint8_t>(sum + b);
    return static_cast<uint8_t>(-sum);
}

bool checksumValid(std::span<const uint8_t> message) {
    if (message.size() < kMinMessage || message.size() > kMaxMessage)
        return false;
    uint8_t sum = 0;
    for (const uint8_t b : message)
        sum = static_cast<uint8_t>(sum + b);
    return sum == 0;
}

Split splitBurst(std::span<const uint8_t> burst) {
    const size_t n = burst.size();
    // prefix[i]: sum of the first i bytes mod 256; [i, j) is valid when
    // prefix[i] == prefix[j].
    std::vector<uint8_t> prefix(n + 1, 0);
    for (size_t i = 0; i < n; ++i)
        prefix[i + 1] = static_cast<uint8_t>(prefix[i] + burst[i]);
    // best[j]: the best split of the first j bytes. Most bytes covered, then
    // most messages, then the first message starting earliest and the last
    // ending latest: an idle gap came before and after the burst, so its
    // ends most likely are message ends.
    struct Best {
        size_t covered = 0;
        size_t messages = 0;
        size_t firstStart = 0;
        size_t lastEnd = 0;
        size_t from = 0; // start of the message ending at j
        bool took = false;
        bool operator>(const Best& o) const {
            if (covered != o.covered)
                return covered > o.covered;
            if (messages != o.messages)
                return messages > o.messages;
            if (firstStart != o.firstStart)
                return firstStart < o.firstStart;
            return lastEnd > o.lastEnd;
        }
    };
    std::vector<Best> best(n + 1);
    for (size_t j = 1; j <= n; ++j) {
        best[j] = best[j - 1];
        best[j].took = false;
        const size_t first = j > kMaxMessage ? j - kMaxMessage : 0;
        for (size_t i = first; i + kMinMessage <= j; ++i) {
            if (prefix[j] != prefix[i])
                continue;
            const Best& before = best[i];
            const Best take{before.covered + (j - i),
                            before.messages + 1,
                            before.messages > 0 ? before.firstStart : i,
                            j,
                            i,
                            true};
            if (take > best[j])
                best[j] = take;
        }
    }
    Split split;
    split.tailBegin = best[n].messages > 0 ? best[n].lastEnd : 0;
    for (size_t j = split.tailBegin; j > 0;) {
        if (best[j].took) {
            split.messages.push_back({best[j].from, j});
            j = best[j].from;
        } else {
            --j;
        }
    }
    std::reverse(split.messages.begin(), split.messages.end());
    split.dropped = split.tailBegin - best[n].covered;
    return split;
}

void Framer::splitPending(Micros now, std::vector<Message>& out, bool keepRecent) {
    const Split split = splitBurst(pending_);
    size_t keepFrom = split.tailBegin;
    size_t covered = 0;
    for (const Split::Range& m : split.messages) {
        // While bytes keep coming, a message near the newest bytes may still
        // be the start of a longer one: only those well before them are final.
        if (keepRecent && m.end + kMaxMessage > pending_.size()) {
            keepFrom = m.begin;
            break;
        }
        covered += m.end - m.begin;
        out.push_back({{pending_.begin() + static_cast<std::ptrdiff_t>(m.begin),
                        pending_.begin() + static_cast<std::ptrdiff_t>(m.end)},
                       now});
    }
    dropped_ += keepFrom - covered;
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(keepFrom));
    if (pending_.size() > kMaxPending) { // nothing valid in a whole window: let the oldest go
        const size_t excess = pending_.size() - kMaxPending / 2;
        dropped_ += excess;
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(excess));
    } else if (!keepRecent && pending_.size() >= kMaxMessage) { // no message can finish in it
        const size_t excess = pending_.size() - (kMaxMessage - 1);
        dropped_ += excess;
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(excess));
    }
}

void Framer::feed(std::span<const uint8_t> bytes, Micros now, std::vector<Message>& out) {
    if (bytes.empty())
        return;
    poll(now, out);
    burstOpen_ = true;
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    lastByte_ = now;
    if (pending_.size() > kMaxPending)
        splitPending(now, out, true);
}

void Framer::poll(Micros now, std::vector<Message>& out) {
    if (burstOpen_ && now - lastByte_ >= kEndOfMessageIdle) {
        burstOpen_ = false;
        splitPending(lastByte_, out, false);
    }
    if (!burstOpen_ && !pending_.empty() && now - lastByte_ >= kTailHold) {
        dropped_ += pending_.size();
        pending_.clear();
    }
}

Micros Framer::nextDeadline() const {
    if (burstOpen_)
        return lastByte_ + kEndOfMessageIdle;
    if (!pending_.empty())
        return lastByte_ + kTailHold;
    return -1;
}

} // namespace zt::j1708
