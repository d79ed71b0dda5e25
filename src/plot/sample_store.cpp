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
constexpr double inf = std::numeric_limits<double>::infinity();
} // namespace

struct SampleStore::Chunk {
    std::array<double, chunkSize> times;
    std::array<double, chunkSize> values;
    // Extremes of the finite values per block; +inf/-inf while a block has none.
    std::array<double, blocksPerChunk> blockMin;
    std::array<double, blocksPerChunk> blockMax;
    ValueRange whole;

    void reset() {
        blockMin.fill(inf);
        blockMax.fill(-inf);
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
            chunks_.pop_front();
            size_ -= chunkSize;
            dropped_ += chunkSize;
        }
        auto chunk = spare_ ? std::move(spare_) : std::make_unique<Chunk>();
        chunk->reset();
        chunks_.push_back(std::move(chunk));
    }
    Chunk& chunk = *chunks_.back();
    chunk.times[offset] = t;
    chunk.values[offset] = v;
    if (std::isfinite(v)) {
        const std::size_t block = offset / blockSize;
        chunk.blockMin[block] = std::min(chunk.blockMin[block], v);
        chunk.blockMax[block] = std::max(chunk.blockMax[block], v);
        chunk.whole.include(v);
    }
    ++size_;
    return true;
}

void SampleStore::clear() {
    chunks_.clear();
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

std::size_t SampleStore::lowerBound(double t) const {
    // Find the chunk by its first time, then search inside it.
    auto chunkIt = std::partition_point(chunks_.begin(), chunks_.end(),
                                        [t](const std::unique_ptr<Chunk>& c) { return c->times[0] < t; });
    if (chunkIt == chunks_.begin())
        return 0;
    const std::size_t chunkIndex = std::size_t(chunkIt - chunks_.begin()) - 1;
    const Chunk& chunk = *chunks_[chunkIndex];
    const std::size_t base = chunkIndex * chunkSize;
    const std::size_t count = std::min(chunkSize, size_ - base);
    const auto end = chunk.times.begin() + count;
    return base + std::size_t(std::lower_bound(chunk.times.begin(), end, t) - chunk.times.begin());
}

std::size_t SampleStore::upperBound(double t) const {
    auto chunkIt = std::partition_point(chunks_.begin(), chunks_.end(),
                                        [t](const std::unique_ptr<Chunk>& c) { return c->times[0] <= t; });
    if (chunkIt == chunks_.begin())
        return 0;
    const std::size_t chunkIndex = std::size_t(chunkIt - chunks_.begin()) - 1;
    const Chunk& chunk = *chunks_[chunkIndex];
    const std::size_t base = chunkIndex * chunkSize;
    const std::size_t count = std::min(chunkSize, size_ - base);
    const auto end = chunk.times.begin() + count;
    return base + std::size_t(std::upper_bound(chunk.times.begin(), end, t) - chunk.times.begin());
}

bool SampleStore::valueAt(double t, double* v) const {
    const std::size_t index = upperBound(t);
    if (index == 0)
        return false;
    *v = value(index - 1);
    return true;
}

ValueRange SampleStore::range(std::size_t first, std::size_t last) const {
    ValueRange result;
    last = std::min(last, size_);
    while (first < last) {
        const Chunk& chunk = chunkFor(first);
        const std::size_t base = first - first % chunkSize;
        std::size_t from = first - base;
        const std::size_t to = std::min(last - base, chunkSize);
        if (from == 0 && to == chunkSize) {
            result.include(chunk.whole);
        } else {
            // Single samples up to a block boundary, whole blocks, then the tail.
            while (from < to && from % blockSize != 0)
                result.include(chunk.values[from++]);
            while (from + blockSize <= to) {
                const std::size_t block = from / blockSize;
                if (chunk.blockMin[block] <= chunk.blockMax[block]) {
                    result.include(chunk.blockMin[block]);
                    result.include(chunk.blockMax[block]);
                }
                from += blockSize;
            }
            while (from < to)
                result.include(chunk.values[from++]);
        }
        first = base + to;
    }
    return result;
}

} // namespace plot
