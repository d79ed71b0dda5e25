#include "plot/sample_store.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace plot {

void ValueRange::include(double v) {
    if (!std::isfinite(v))
        return;
    if (empty) {
        min = max = v;
        empty = false;
        return;
    }
    min = std::min(min, v);
    max = std::max(max, v);
}

void ValueRange::include(const ValueRange& other) {
    if (other.empty)
        return;
    include(other.min);
    include(other.max);
}

namespace {
constexpr std::size_t blocksPerChunk = SampleStore::chunkSize / SampleStore::blockSize;
constexpr std::size_t superBlocksPerChunk = SampleStore::chunkSize / SampleStore::superBlockSize;
constexpr double inf = std::numeric_limits<double>::infinity();
} // namespace

struct SampleStore::Chunk {
    std::array<double, chunkSize> times;
    std::array<double, chunkSize> values;
    // Extremes of the finite values per block; +inf/-inf while a block has none.
    std::array<double, blocksPerChunk> blockFirstTime;
    std::array<double, blocksPerChunk> blockMin;
    std::array<double, blocksPerChunk> blockMax;
    std::array<double, superBlocksPerChunk> superMin;
    std::array<double, superBlocksPerChunk> superMax;
    ValueRange whole;

    void reset() {
        blockMin.fill(inf);
        blockMax.fill(-inf);
        superMin.fill(inf);
        superMax.fill(-inf);
        whole = {};
    }
};

SampleStore::SampleStore(std::size_t capacity)
    // Whole chunks, at least two, so dropping the oldest never empties the store.
    : capacity_(std::max<std::size_t>(2, (capacity + chunkSize - 1) / chunkSize) * chunkSize) {}

SampleStore::~SampleStore() = default;
SampleStore::SampleStore(SampleStore&&) noexcept = default;
SampleStore& SampleStore::operator=(SampleStore&&) noexcept = default;

bool SampleStore::append(double t, double v) {
    if (!std::isfinite(t))
        return false;
    if (size_ > 0 && t < time(size_ - 1))
        return false;
    const std::size_t offset = size_ % chunkSize;
    if (offset == 0) {
        if (size_ == capacity_) {
            spare_ = std::move(chunks_.front());
            chunks_.erase(chunks_.begin());
            chunkFirstTimes_.erase(chunkFirstTimes_.begin());
            size_ -= chunkSize;
            dropped_ += chunkSize;
        }
        auto chunk = spare_ ? std::move(spare_) : std::make_unique<Chunk>();
        chunk->reset();
        chunks_.push_back(std::move(chunk));
        chunkFirstTimes_.push_back(t);
    }
    Chunk& chunk = *chunks_.back();
    chunk.times[offset] = t;
    chunk.values[offset] = v;
    if (offset % blockSize == 0)
        chunk.blockFirstTime[offset / blockSize] = t;
    if (std::isfinite(v)) {
        const std::size_t block = offset / blockSize;
        chunk.blockMin[block] = std::min(chunk.blockMin[block], v);
        chunk.blockMax[block] = std::max(chunk.blockMax[block], v);
        const std::size_t super = offset / superBlockSize;
        chunk.superMin[super] = std::min(chunk.superMin[super], v);
        chunk.superMax[super] = std::max(chunk.superMax[super], v);
        chunk.whole.include(v);
    }
    ++size_;
    return true;
}

void SampleStore::clear() {
    chunks_.clear();
    chunkFirstTimes_.clear();
    spare_.reset();
    size_ = 0;
}

SampleStore::Chunk& SampleStore::chunkFor(std::size_t index) const {
    return *chunks_[index / chunkSize];
}

double SampleStore::time(std::size_t index) const {
    return chunkFor(index).times[index % chunkSize];
}

double SampleStore::value(std::size_t index) const {
    return chunkFor(index).values[index % chunkSize];
}

// Searches the chunks' first times, then the chunk's block first times,
// then one block: three short searches over memory that stays in cache,
// rather than a bisection across megabytes of samples.
template <typename Before> std::size_t SampleStore::bound(double t, Before before) const {
    const auto chunkIt = std::partition_point(chunkFirstTimes_.begin(), chunkFirstTimes_.end(),
                                              [&](double first) { return before(first, t); });
    if (chunkIt == chunkFirstTimes_.begin())
        return 0;
    const std::size_t chunkIndex = std::size_t(chunkIt - chunkFirstTimes_.begin()) - 1;
    const Chunk& chunk = *chunks_[chunkIndex];
    const std::size_t base = chunkIndex * chunkSize;
    const std::size_t count = std::min(chunkSize, size_ - base);
    const std::size_t blocks = (count + blockSize - 1) / blockSize;
    const auto blockIt =
        std::partition_point(chunk.blockFirstTime.begin(), chunk.blockFirstTime.begin() + blocks,
                             [&](double first) { return before(first, t); });
    const std::size_t from = (std::size_t(blockIt - chunk.blockFirstTime.begin()) - 1) * blockSize;
    const std::size_t to = std::min(from + blockSize, count);
    const auto it = std::partition_point(chunk.times.begin() + from, chunk.times.begin() + to,
                                         [&](double time) { return before(time, t); });
    return base + std::size_t(it - chunk.times.begin());
}

std::size_t SampleStore::lowerBound(double t) const {
    return bound(t, [](double a, double b) { return a < b; });
}

std::size_t SampleStore::upperBound(double t) const {
    return bound(t, [](double a, double b) { return a <= b; });
}

bool SampleStore::valueAt(double t, double* v) const {
    const std::size_t index = upperBound(t);
    if (index == 0)
        return false;
    *v = value(index - 1);
    return true;
}

ValueRange SampleStore::range(std::size_t first, std::size_t last) const {
    // Running extremes start at +inf/-inf; std::min/std::max keep their
    // first argument against a NaN, and infinities are skipped, so only
    // finite values count.
    double lo = inf;
    double hi = -inf;
    auto addValue = [&](double v) {
        if (std::isfinite(v)) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    };
    last = std::min(last, size_);
    while (first < last) {
        const Chunk& chunk = chunkFor(first);
        const std::size_t base = first - first % chunkSize;
        std::size_t from = first - base;
        const std::size_t to = std::min(last - base, chunkSize);
        if (from == 0 && to == chunkSize) {
            if (!chunk.whole.empty) {
                lo = std::min(lo, chunk.whole.min);
                hi = std::max(hi, chunk.whole.max);
            }
        } else {
            // Single samples up to a block boundary, blocks up to a
            // superblock boundary, superblocks, then blocks and samples.
            while (from < to && from % blockSize != 0)
                addValue(chunk.values[from++]);
            while (from + blockSize <= to && from % superBlockSize != 0) {
                lo = std::min(lo, chunk.blockMin[from / blockSize]);
                hi = std::max(hi, chunk.blockMax[from / blockSize]);
                from += blockSize;
            }
            while (from + superBlockSize <= to) {
                lo = std::min(lo, chunk.superMin[from / superBlockSize]);
                hi = std::max(hi, chunk.superMax[from / superBlockSize]);
                from += superBlockSize;
            }
            while (from + blockSize <= to) {
                lo = std::min(lo, chunk.blockMin[from / blockSize]);
                hi = std::max(hi, chunk.blockMax[from / blockSize]);
                from += blockSize;
            }
            while (from < to)
                addValue(chunk.values[from++]);
        }
        first = base + to;
    }
    ValueRange result;
    if (lo <= hi) {
        result.min = lo;
        result.max = hi;
        result.empty = false;
    }
    return result;
}

} // namespace plot
