// Fuzzes the private-profile reader with any file content: arbitrary bytes,
// very long lines, no newline at the end. The value it returns never
// exceeds the buffer size it is given, and the defaults come back when the
// file does not have the key.
#include "platform/profile.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const std::string& scratchPath() {
    static const std::string path = [] {
        const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(folder) + "/fuzz_profile_ini." + std::to_string(getpid()) + ".ini";
    }();
    return path;
}

void check(std::string_view section, std::string_view key, std::size_t bufferSize) {
    const std::string value =
        platform::getPrivateProfileString(section, key, "default ", bufferSize, scratchPath());
    if (bufferSize == 0 ? !value.empty() : value.size() > bufferSize - 1)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20)
        return 0;
    FILE* file = std::fopen(scratchPath().c_str(), "wb");
    if (!file)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);

    const std::size_t bufferSize = size > 0 ? data[0] * 5u : 0; // 0 to 1275
    check("RP1210Support", "APIImplementations", 1024);
    check("RP1210Support", "APIImplementations", bufferSize);
    check("VendorInformation", "Name", 80);
    // The first line's text as both section and key, so matches happen.
    std::string_view text(reinterpret_cast<const char*>(data), size);
    text = text.substr(0, std::min<std::size_t>(text.find('\n'), 64));
    check(text, text, bufferSize);
    check("", "", bufferSize);
    const std::string absent = platform::getPrivateProfileString("no section", "no key", " trailing blanks  ",
                                                                 1024, "/nonexistent/fuzz_profile_ini.ini");
    if (absent != " trailing blanks")
        std::abort();
    return 0;
}
