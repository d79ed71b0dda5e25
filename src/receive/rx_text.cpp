#include "receive/rx_text.h"

#include <algorithm>
#include <cstring>

namespace receive {

std::size_t oldestLineCut(std::string_view text) {
    const std::size_t last = text.rfind('\n');
    if (last == std::string_view::npos)
        return text.size();
    if (last == 0)
        return 0;
    const std::size_t before = text.rfind('\n', last - 1);
    return before == std::string_view::npos ? 0 : before + 1;
}

void RxTextBuffer::clear() {
    storage_.clear();
    storage_.shrink_to_fit();
    begin_ = end_ = 0;
}

void RxTextBuffer::assign(std::string_view text) {
    storage_.assign(text.begin(), text.end());
    begin_ = 0;
    end_ = storage_.size();
}

void RxTextBuffer::prepend(std::string_view line) {
    if (line.size() > begin_) {
        // Move the text to the end of a buffer with room in front for about
        // as much text again, so moves happen once per hundred lines or so.
        const std::size_t length = size();
        const std::size_t room = std::max<std::size_t>(length, 4096) + line.size();
        if (storage_.size() < room + length) {
            std::vector<char> grown(room + length);
            if (length != 0)
                std::memcpy(grown.data() + room, storage_.data() + begin_, length);
            storage_.swap(grown);
        } else {
            std::memmove(storage_.data() + storage_.size() - length, storage_.data() + begin_, length);
        }
        end_ = storage_.size();
        begin_ = end_ - length;
    }
    if (line.empty())
        return;
    begin_ -= line.size();
    std::memcpy(storage_.data() + begin_, line.data(), line.size());
}

bool RxTextBuffer::dropOldestLine() {
    const std::size_t keep = oldestLineCut(view());
    if (keep == size())
        return false;
    end_ = begin_ + keep;
    return true;
}

bool addReceivedLine(RxTextBuffer& text, uint32_t& messageCount, std::string_view line) {
    text.prepend(line);
    const bool dropped = messageCount >= kLinesKept && text.dropOldestLine();
    ++messageCount;
    return dropped;
}

namespace {

// Where the first `lines` lines of text end (all of it when it has fewer).
std::size_t endOfFirstLines(std::string_view text, uint64_t lines) {
    std::size_t end = 0;
    for (uint64_t line = 0; line < lines && end < text.size(); ++line) {
        const std::size_t feed = text.find('\n', end);
        end = feed == std::string_view::npos ? text.size() : feed + 1;
    }
    return end;
}

std::string_view withoutOldestLines(std::string_view text, uint64_t lines) {
    for (uint64_t line = 0; line < lines; ++line) {
        const std::size_t keep = oldestLineCut(text);
        if (keep == text.size())
            break;
        text = text.substr(0, keep);
    }
    return text;
}

} // namespace

std::string mergeTakenBack(std::string_view current, uint64_t added, uint64_t dropped,
                           std::string_view boxText) {
    const std::string_view head = current.substr(0, endOfFirstLines(current, added));
    const std::string_view rest = withoutOldestLines(boxText, dropped);
    std::string merged;
    merged.reserve(head.size() + rest.size());
    merged.append(head);
    merged.append(rest);
    return merged;
}

std::optional<EndsChange> endsChange(std::string_view before, std::string_view after, uint64_t added,
                                     uint64_t dropped) {
    const std::size_t front = endOfFirstLines(after, added);
    const std::string_view kept = withoutOldestLines(before, dropped);
    if (after.substr(front) != kept)
        return std::nullopt;
    return EndsChange{front, kept.size()};
}

} // namespace receive
