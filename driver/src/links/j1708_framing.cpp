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
    // The best split of the first j bytes: most bytes covered, then most
    // messages, then the fewest runs of uncovered bytes (messages on a line
    // follow each other), then the first message starting earliest and the
    // last ending latest (an idle gap came before and after the burst). The
    // later rules settle the rotations of a valid message, which are valid
    // too when the next message starts with the same MID. Two tables keep the
    // run count exact: ended[j] ends with a message at j, open[j] with an
    // uncovered byte.
    struct Best {
        size_t covered = 0;
        size_t messages = 0;
        size_t gaps = 0;
        size_t firstStart = 0;
        size_t lastEnd = 0;
        size_t from = 0;        // ended: the message's start; open: j - 1
        bool fromEnded = false; // which table `from` refers to
        bool valid = false;
        bool operator>(const Best& o) const {
            if (valid != o.valid)
                return valid;
            if (covered != o.covered)
                return covered > o.covered;
            if (messages != o.messages)
                return messages > o.messages;
            if (gaps != o.gaps)
                return gaps < o.gaps;
            if (firstStart != o.firstStart)
                return firstStart < o.firstStart;
            return lastEnd > o.lastEnd;
        }
    };
    std::vector<Best> ended(n + 1), open(n + 1);
    ended[0].valid = true; // the start of the burst is a boundary
    for (size_t j = 1; j <= n; ++j) {
        if (ended[j - 1].valid) {
            open[j] = ended[j - 1];
            ++open[j].gaps;
            open[j].fromEnded = true;
        }
        if (open[j - 1].valid) {
            Best stay = open[j - 1];
            stay.fromEnded = false;
            if (stay > open[j])
                open[j] = stay;
        }
        open[j].from = j - 1;
        const size_t first = j > kMaxMessage ? j - kMaxMessage : 0;
        for (size_t i = first; i + kMinMessage <= j; ++i) {
            if (prefix[j] != prefix[i])
                continue;
            for (const bool fromEnded : {true, false}) {
                const Best& before = fromEnded ? ended[i] : open[i];
                if (!before.valid)
                    continue;
                const Best take{before.covered + (j - i),
                                before.messages + 1,
                                before.gaps,
                                before.messages > 0 ? before.firstStart : i,
                                j,
                                i,
                                fromEnded,
                                true};
                if (take > ended[j])
                    ended[j] = take;
            }
        }
    }
    const bool endsEnded = !(open[n] > ended[n]);
    const Best& final = endsEnded ? ended[n] : open[n];
    Split split;
    split.tailBegin = final.messages > 0 ? final.lastEnd : 0;
    split.dropped = split.tailBegin - final.covered;
    bool inEnded = endsEnded;
    for (size_t j = n; j > 0;) {
        const Best& b = inEnded ? ended[j] : open[j];
        if (inEnded)
            split.messages.push_back({b.from, j});
        inEnded = b.fromEnded;
        j = b.from;
    }
    std::reverse(split.messages.begin(), split.messages.end());
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
        ++burstsEnded_;
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
