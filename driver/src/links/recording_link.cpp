#include "links/recording_link.h"

#include "links/candump_log.h"

#include <rp1210a/rp1210a.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zt {
namespace {

constexpr auto kWriteInterval = std::chrono::milliseconds(200);

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

Micros wallClockMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

LinkError refuse(const std::string& folder, const std::string& why) {
    // The path last, so a text cut short for RP1210_GetErrorMsg keeps its end.
    return {ERR_HARDWARE_NOT_RESPONDING, "cannot record the CAN bus (" + why + "): " + folder};
}

} // namespace

FrameLogQueue::FrameLogQueue(size_t capacity) : capacity_(capacity < 2 ? 2 : capacity) {
    pending_.reserve(capacity_);
}

bool FrameLogQueue::push(const CanFrame& frame) {
    bool wakeWriter = false;
    {
        std::lock_guard lock(mutex_);
        if (stopped_)
            return false;
        if (pending_.size() >= capacity_) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        pending_.push_back(frame);
        wakeWriter = pending_.size() == capacity_ / 2;
    }
    if (wakeWriter)
        wake_.notify_one();
    return true;
}

bool FrameLogQueue::take(std::vector<CanFrame>& out, std::chrono::milliseconds maxWait) {
    out.clear();
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, maxWait, [&] { return stopped_ || pending_.size() >= capacity_ / 2; });
    if (stopped_ && pending_.empty())
        return false;
    // Both vectors keep their reserved room, so pushes never allocate.
    out.reserve(capacity_);
    out.swap(pending_);
    return true;
}

void FrameLogQueue::stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    wake_.notify_all();
}

void FrameLogQueue::restart() {
    std::lock_guard lock(mutex_);
    pending_.clear();
    stopped_ = false;
    dropped_ = 0;
}

RecordingLink::RecordingLink(std::unique_ptr<CanLink> inner, RecordingOptions options)
    : inner_(std::move(inner)), options_(std::move(options)),
      clock_(options_.clock != nullptr ? *options_.clock : systemClock()), queue_(options_.queueCapacity) {
    queue_.stop();
}

RecordingLink::~RecordingLink() {
    close();
}

std::string RecordingLink::interfaceNameFor(const std::string& linkName) {
    std::string name;
    for (char c : linkName) {
        if (name.size() == 15)
            break;
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '_' || c == '-' || c == '.';
        name += kept ? c : '_';
    }
    return name.empty() ? "can0" : name;
}

std::string RecordingLink::filePath() const {
    return filePath_;
}

LinkError RecordingLink::open(FrameHandler onFrame, StateHandler onState) {
    if (writer_.joinable())
        return refuse(options_.folder, "the link is already open");
    struct stat info {};
    if (::stat(options_.folder.c_str(), &info) != 0)
        return refuse(options_.folder, std::strerror(errno));
    if (!S_ISDIR(info.st_mode))
        return refuse(options_.folder, "not a folder");

    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H%M%S", &local);
    const std::string base =
        options_.folder + (options_.folder.ends_with('/') ? "" : "/") + options_.filePrefix + "-" + stamp;
    int fd = -1;
    std::string path;
    for (int attempt = 1; fd < 0 && attempt <= 100; ++attempt) {
        path = base + (attempt == 1 ? "" : "-" + std::to_string(attempt)) + ".log";
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST)
            return refuse(options_.folder, std::strerror(errno));
    }
    if (fd < 0)
        return refuse(options_.folder, "every file name for this second is taken");

    filePath_ = path;
    fd_ = fd;
    unwritten_ = 0;
    queue_.restart();
    const std::string interface =
        options_.interfaceName.empty() ? interfaceNameFor(inner_->name()) : options_.interfaceName;
    const Micros wallOffset = wallClockMicros() - clock_.now();
    writer_ = std::thread([this, fd, interface, wallOffset] { writeQueued(fd, interface, wallOffset); });

    LinkError error = inner_->open(
        [this, onFrame = std::move(onFrame)](const CanFrame& frame) {
            queue_.push(frame);
            onFrame(frame);
        },
        std::move(onState));
    if (error) {
        queue_.stop();
        writer_.join();
        ::close(fd_);
        fd_ = -1;
        ::unlink(path.c_str());
    }
    return error;
}

void RecordingLink::close() {
    if (!writer_.joinable())
        return;
    inner_->close();
    queue_.stop();
    writer_.join();
    ::close(fd_);
    fd_ = -1;
}

int RecordingLink::send(const CanFrame& frame) {
    const int result = inner_->send(frame);
    if (result == 0) {
        CanFrame sent = frame;
        sent.timestamp = clock_.now();
        queue_.push(sent);
    }
    return result;
}

void RecordingLink::writeQueued(int fd, std::string interface, Micros wallOffset) {
    std::vector<CanFrame> batch;
    std::string text;
    char line[candump::kMaxFormattedLine + 1];
    while (queue_.take(batch, kWriteInterval)) {
        text.clear();
        for (const CanFrame& frame : batch)
            text.append(line, candump::formatLine(line, frame, frame.timestamp + wallOffset, interface));
        if (!writeAll(fd, text.data(), text.size()))
            unwritten_.fetch_add(batch.size(), std::memory_order_relaxed);
    }
}

} // namespace zt
