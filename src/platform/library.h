#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

// A loaded shared library. Destroying the object does NOT unload the
// library: a driver stays loaded until release() is called or the process
// ends, so entry points taken from it remain valid. Move-only.
class DynamicLibrary {
public:
    // Loads the library named fileName, trying candidatePaths(fileName) in
    // order. On failure returns nullopt and, if error is not null, stores the
    // loader's message for the last candidate that exists, or for the last
    // one tried when none exists.
    static std::optional<DynamicLibrary> load(const std::string& fileName, std::string* error);

    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    ~DynamicLibrary() = default;

    // The address of the exported symbol name, or nullptr if the library does
    // not export it or has been released.
    void* resolve(const char* name) const;

    // Unloads the library; entry points resolved from it become invalid.
    void release();

    bool isLoaded() const { return handle_ != nullptr; }

    // The path under which the library was found.
    const std::string& path() const { return path_; }

private:
    DynamicLibrary(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}

    void* handle_ = nullptr;
    std::string path_;
};

// Where load() looks for fileName, in order. A name with a '/' is only that
// path. Otherwise three places are tried: the executable's folder, then
// <exe dir>/../lib/tarvik, then the system's library search (the bare name).
// In each place "NAME.dll" is tried as "NAME.dll", then as "libNAME.so"; any
// other name as given, then as "lib<name>.so".
std::vector<std::string> candidatePaths(const std::string& fileName);

// The folder holding the running executable, without a trailing '/'; empty
// if it cannot be determined.
std::string executableDirectory();

} // namespace platform
