#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

namespace plot {

struct Sample {
    double timeSeconds = 0;
    double value = 0;
};

// The minimum and maximum of the finite values in a range of samples; empty
// when the range holds none.
struct ValueRange {
    double min = 0;
    double max = 0;
    bool empty = true;

    void include(double value);
    void include(const ValueRange& other);
};

// The samples of one signal in time order, in fixed-size chunks. Each chunk
// keeps the minimum and maximum of every block of blockSize samples and of
// the whole chunk, so the extremes of any index range cost a few dozen
// steps however long the range is. When the store holds capacity() samples
// the oldest chunk is dropped whole to make room.
class SampleStore {
public:
    static constexpr std::size_t blockSize = 64;
    static constexpr std::size_t chunkSize = 4096;
    // 2,097,152 samples (32 MiB): about 5.8 hours of a signal sent every
    // 10 ms.
    static constexpr std::size_t defaultCapacity = std::size_t{1} << 21;

    explicit SampleStore(std::size_t capacity = defaultCapacity);
    ~SampleStore();
    SampleStore(SampleStore&&) noexcept;
    SampleStore& operator=(SampleStore&&) noexcept;

    // False (nothing stored) for a time that is not finite or is older
    // than the last sample's.
    bool append(double timeSeconds, double value);
    void clear();

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::size_t capacity() const { return capacity_; }
    // Samples dropped from the front to stay within capacity.
    std::uint64_t droppedCount() const { return dropped_; }

    double time(std::size_t index) const;
    double value(std::size_t index) const;
    Sample at(std::size_t index) const { return {time(index), value(index)}; }

    // The first index whose time is >= t (size() if none).
    std::size_t lowerBound(double t) const;
    // The first index whose time is > t (size() if none).
    std::size_t upperBound(double t) const;
    // The last sample at or before t (sample and hold); false before the
    // first sample.
    bool valueAt(double t, double* value) const;
    // Extremes of the finite values of samples [first, last).
    ValueRange range(std::size_t first, std::size_t last) const;

private:
    struct Chunk;
    Chunk& chunkFor(std::size_t index) const;

    std::deque<std::unique_ptr<Chunk>> chunks_;
    std::unique_ptr<Chunk> spare_;
    std::size_t size_ = 0;
    std::size_t capacity_;
    std::uint64_t dropped_ = 0;
};

} // namespace plot
