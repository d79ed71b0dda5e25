// How long a non-blocking read that finds its client's queue empty waits for
// a message before it returns 0.
//
// A caller that polls now and then (a window's timer, or one client after
// another from one thread) gets a short first wait and has its thread back
// within a millisecond. A caller that polls this one client and nothing else,
// calling again the moment an empty read returns, would wake a thousand times
// a second on a quiet bus: it gets the whole bound. Either wait ends the
// moment a message arrives, so no message ever waits for the bound.
#pragma once

#include "support/clock.h"

#include <algorithm>
#include <cstdint>

namespace zt {

// Who reads: a thread, and how many reads it has made so far on any client.
struct ReaderMark {
    uint64_t thread = 0;
    uint64_t reads = 0;
};

// The calling thread's mark, counting the read it is about to make.
ReaderMark markRead();

class EmptyReadWait {
public:
    static constexpr Micros kFirstWait = 1000;
    // A read this soon after an empty one, from the same thread with no read
    // of another client in between, is a tight poll.
    static constexpr Micros kTightPollGap = 500;

    explicit EmptyReadWait(Micros bound = 0) : bound_(std::max<Micros>(bound, 0)) {}

    Micros bound() const { return bound_; }

    // The read marked `reader` found the queue empty at `now`.
    Micros waitFor(ReaderMark reader, Micros now) const {
        const bool tightPoll = lastEmpty_.thread != 0 && lastEmpty_.thread == reader.thread &&
                               reader.reads == lastEmpty_.reads + 1 && now - lastEmptyAt_ <= kTightPollGap;
        return tightPoll ? bound_ : std::min(bound_, kFirstWait);
    }
    void returnedEmpty(ReaderMark reader, Micros now) {
        lastEmpty_ = reader;
        lastEmptyAt_ = now;
    }
    // A message (or an error) ends a run of empty reads.
    void returnedOther() { lastEmpty_ = {}; }

private:
    Micros bound_;
    ReaderMark lastEmpty_;
    Micros lastEmptyAt_ = 0;
};

} // namespace zt
