#include "platform/profile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/library.h"

namespace platform {

namespace {
constexpr std::string_view kBlanks = " \t\r\n\v\f";

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

std::string_view trimRight(std::string_view text) {
    const auto last = text.find_last_not_of(kBlanks);
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::string clip(std::string_view text, std::size_t bufferSize) {
    if (bufferSize == 0) {
        return {};
    }
    return std::string(text.substr(0, std::min(text.size(), bufferSize - 1)));
}

// The value of key in section, or nullopt when the file, the section or the
// key is missing. The first matching key of the first section that has it
// wins.
std::optional<std::string> lookUp(std::string_view section, std::string_view key,
                                  const std::string& filePath) {
    std::ifstream file(filePath, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    const std::string_view wantedSection = trim(section);
    const std::string_view wantedKey = trim(key);
    bool inSection = false;
    bool firstLine = true;
    std::string line;
    while (std::getline(file, line)) {
        std::string_view text = line;
        if (firstLine && text.substr(0, 3) == "\xEF\xBB\xBF") {
            text.remove_prefix(3);
        }
        firstLine = false;
        text = trim(text);
        if (text.empty() || text.front() == ';') {
            continue;
        }
        if (text.front() == '[') {
            const auto close = text.find(']');
            const std::string_view name =
                trim(close == std::string_view::npos ? text.substr(1) : text.substr(1, close - 1));
            inSection = equalsIgnoringCase(name, wantedSection);
            continue;
        }
        if (!inSection) {
            continue;
        }
        const auto equals = text.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        if (equalsIgnoringCase(trim(text.substr(0, equals)), wantedKey)) {
            return std::string(unquote(trim(text.substr(equals + 1))));
        }
    }
    return std::nullopt;
}
} // namespace

std::string getPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::size_t bufferSize,
                                    const std::string& filePath) {
    if (const auto value = lookUp(section, key, filePath)) {
        return clip(*value, bufferSize);
    }
    return clip(trimRight(defaultValue), bufferSize);
}

std::string findProfileFile(const std::string& fileName) {
    if (fileName.find('/') != std::string::npos) {
        return fileName;
    }
    const std::string exeDir = executableDirectory();
    const std::string besideExecutable = exeDir + "/" + fileName;
    const std::vector<std::string> places = {besideExecutable, exeDir + "/../etc/tarvik/" + fileName,
                                             "/etc/" + fileName};
    for (const std::string& place : places) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(place, ec)) {
            return place;
        }
    }
    return besideExecutable;
}

} // namespace platform
