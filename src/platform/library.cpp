#include "platform/library.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include <dlfcn.h>

namespace platform {

namespace {
constexpr std::string_view kWindowsSuffix = ".dll";

// The two file names a library name stands for on this system.
std::vector<std::string> nameForms(const std::string& fileName) {
    std::string stem = fileName;
    if (stem.size() > kWindowsSuffix.size() &&
        stem.compare(stem.size() - kWindowsSuffix.size(), kWindowsSuffix.size(), kWindowsSuffix) == 0) {
        stem.resize(stem.size() - kWindowsSuffix.size());
    }
    return {fileName, "lib" + stem + ".so"};
}

std::string loaderError() {
    const char* text = dlerror();
    return text != nullptr ? std::string(text) : std::string("unknown loader error");
}
} // namespace

std::string executableDirectory() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return {};
    }
    return exe.parent_path().string();
}

std::vector<std::string> candidatePaths(const std::string& fileName) {
    if (fileName.empty()) {
        return {};
    }
    if (fileName.find('/') != std::string::npos) {
        return {fileName};
    }
    const std::vector<std::string> forms = nameForms(fileName);
    std::vector<std::string> paths;
    const std::string exeDir = executableDirectory();
    if (!exeDir.empty()) {
        for (const std::string& dir : {exeDir, exeDir + "/../lib/tarvik"}) {
            for (const std::string& form : forms) {
                paths.push_back(dir + "/" + form);
            }
        }
    }
    for (const std::string& form : forms) {
        paths.push_back(form);
    }
    return paths;
}

std::optional<DynamicLibrary> DynamicLibrary::load(const std::string& fileName, std::string* error) {
    // A file that exists but does not load explains the failure better than
    // "not found" from the places tried after it, so its message is kept.
    std::string existingFileError;
    std::string lastError = "no library name given";
    for (const std::string& candidate : candidatePaths(fileName)) {
        void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle != nullptr) {
            return DynamicLibrary(handle, candidate);
        }
        lastError = loaderError();
        std::error_code ec;
        if (existingFileError.empty() && candidate.find('/') != std::string::npos &&
            std::filesystem::exists(candidate, ec)) {
            existingFileError = lastError;
        }
    }
    if (error != nullptr) {
        *error = existingFileError.empty() ? lastError : existingFileError;
    }
    return std::nullopt;
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), path_(std::move(other.path_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        // Like the destructor, assignment leaves a library held before loaded.
        handle_ = std::exchange(other.handle_, nullptr);
        path_ = std::move(other.path_);
    }
    return *this;
}

void* DynamicLibrary::resolve(const char* name) const {
    if (handle_ == nullptr || name == nullptr) {
        return nullptr;
    }
    return dlsym(handle_, name);
}

void DynamicLibrary::release() {
    if (handle_ != nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

} // namespace platform
