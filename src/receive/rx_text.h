#pragma once
// The receive text: newest line first, lines ending in "\r\n", at most 101
// lines while lines are added one at a time. Kept with free room in front,
// so adding a line costs the line and not the whole text.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace receive {

// Beyond this many lines counted, each new line drops the oldest one.
inline constexpr uint32_t kLinesKept = 101;

// Drops the oldest line by line feeds alone: cuts just after the line feed
// that comes before the final line feed. One line feed only: the text becomes
// empty; none: it stays as it is. Returns the new length.
std::size_t oldestLineCut(std::string_view text);

class RxTextBuffer {
public:
    std::string_view view() const { return {storage_.data() + begin_, end_ - begin_}; }
    std::size_t size() const { return end_ - begin_; }
    bool empty() const { return size() == 0; }

    void clear();
    void assign(std::string_view text);
    void prepend(std::string_view line);
    // Returns whether anything was removed.
    bool dropOldestLine();

private:
    std::vector<char> storage_; // the text is storage_[begin_, end_)
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

// One received line into the text and its counter: prepend, drop the oldest
// line when the counter (without this line) is above 100, count. Returns
// whether a line was dropped.
bool addReceivedLine(RxTextBuffer& text, uint32_t& messageCount, std::string_view line);

// Taking the text box back while lines keep arriving: `added` lines arrived
// (at the front of current) and `dropped` oldest lines went since the box was
// last filled from the text. The user's box text takes the place of what the
// box was filled with: the new lines stay in front of it, and it loses as many
// oldest lines as the text lost meanwhile.
std::string mergeTakenBack(std::string_view current, uint64_t added, uint64_t dropped,
                           std::string_view boxText);

// How the text box turns from `before` into `after` by its ends alone, when
// `added` lines arrived in front and the `dropped` oldest lines went: after's
// first frontBytes are new and before keeps its first keptBytes. Nothing when
// after is not made that way (a clear, the user's edit taken back).
struct EndsChange {
    std::size_t frontBytes = 0;
    std::size_t keptBytes = 0;
};
std::optional<EndsChange> endsChange(std::string_view before, std::string_view after, uint64_t added,
                                     uint64_t dropped);

} // namespace receive
