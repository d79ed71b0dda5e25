#pragma once
// The up-down step rule: a new position clamped into the control's range.

#include <cstdint>
#include <utility>

namespace fields {

// candidate above the range's high end gives the high end, below its low end
// the low end, otherwise the candidate.
inline int clampToSpinRange(int64_t candidate, std::pair<int, int> range) {
    if (candidate > range.second)
        return range.second;
    if (candidate < range.first)
        return range.first;
    return static_cast<int>(candidate);
}

} // namespace fields
