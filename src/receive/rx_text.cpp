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

std::string mergeTakenBack(std::string_view current, uint64_t added, uint64_t dropped,
                           std::string_view boxText) {
    std::size_t headEnd = 0;
    for (uint64_t line = 0; line < added && headEnd < current.size(); ++line) {
        const std::size_t feed = current.find('\n', headEnd);
        headEnd = feed == std::string_view::npos ? current.size() : feed + 1;
    }
    std::string_view rest = boxText;
    for (uint64_t line = 0; line < dropped; ++line) {
        const std::size_t keep = oldestLineCut(rest);
        if (keep == rest.size())
            break;
        rest = rest.substr(0, keep);
    }
    std::string merged;
    merged.reserve(headEnd + rest.size());
    merged.append(current.substr(0, headEnd));
    merged.append(rest);
    return merged;
}

} // namespace receive
