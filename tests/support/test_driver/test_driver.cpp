// The test driver library. Blocking reads wait until a message is queued or
// the client is disconnected, so reader threads can be tested without
// spinning; every entry point is safe to call from several threads.
#define RP1210A_DRIVER_IMPLEMENTATION
#include "test_driver.h"

#include <rp1210a/rp1210a.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#define TEST_DRIVER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct QueuedRead {
    std::vector<uint8_t> bytes;
    int16_t result = 0; // 0: the length
};

struct State {
    std::mutex mutex;
    std::condition_variable readable;
    std::string log;
    std::string logCopy;
    int readCalls = 0;
    std::map<std::string, std::deque<int16_t>> queued;
    std::map<std::string, int16_t> fixed;
    std::map<int16_t, int16_t> commandResults;
    std::string version[4] = {"1", "0", "2", "0"};
    std::map<int16_t, std::string> errorTexts;
    std::map<int16_t, std::deque<QueuedRead>> reads;
    std::map<int16_t, std::vector<uint8_t>> floods;
    std::map<int16_t, bool> disconnected;
    int16_t nextClient = 0;
    std::map<std::string, int> delays; // per entry point, ms; -1 holds until released
    int holdGeneration = 0;
    int callsInside = 0;
    bool unterminatedTexts = false;
    bool freeOnUnload = false;
};

State* stateInstance = nullptr;

State& state() {
    static State* instance = stateInstance = new State;
    return *instance;
}

// A library unloaded under a test frees its state, so the leak checker does
// not see it orphaned; at process exit, or with a call still inside, it is
// kept, as worker threads may still use it.
__attribute__((destructor)) void freeStateOnUnload() {
    if (!stateInstance)
        return;
    {
        std::lock_guard lock(stateInstance->mutex);
        if (!stateInstance->freeOnUnload || stateInstance->callsInside != 0)
            return;
    }
    delete stateInstance;
}

std::string hexBytes(const char* bytes, int length) {
    std::string text = "[";
    for (int i = 0; bytes && i < length; ++i) {
        char part[4];
        std::snprintf(part, sizeof part, "%02X", static_cast<unsigned char>(bytes[i]));
        if (i)
            text += ' ';
        text += part;
    }
    return text + "]";
}

// The scripted result for a call, or fallback. Caller holds the mutex.
int16_t resultFor(State& s, const std::string& function, int16_t fallback) {
    auto queue = s.queued.find(function);
    if (queue != s.queued.end() && !queue->second.empty()) {
        const int16_t result = queue->second.front();
        queue->second.pop_front();
        return result;
    }
    auto fixed = s.fixed.find(function);
    return fixed != s.fixed.end() ? fixed->second : fallback;
}

// Sleeps or holds as scripted for function, counted as inside the driver
// for as long as the call lasts (the caller decrements on return).
class InsideCall {
public:
    explicit InsideCall(const char* function) : s_(state()) {
        std::unique_lock lock(s_.mutex);
        ++s_.callsInside;
        s_.readable.notify_all();
        auto delay = s_.delays.find(function);
        if (delay == s_.delays.end() || delay->second == 0)
            return;
        if (delay->second < 0) {
            const int generation = s_.holdGeneration;
            s_.readable.wait(lock, [&] { return s_.holdGeneration != generation; });
        } else {
            s_.readable.wait_for(lock, std::chrono::milliseconds(delay->second));
        }
    }
    ~InsideCall() {
        std::lock_guard lock(s_.mutex);
        --s_.callsInside;
    }

private:
    State& s_;
};

// Copies text into a buffer of size bytes: terminated, or, when the driver
// is told to misbehave, repeated to fill every byte with no terminator.
void putText(const State& s, char* target, std::size_t size, const std::string& text) {
    if (!s.unterminatedTexts) {
        std::snprintf(target, size, "%s", text.c_str());
        return;
    }
    for (std::size_t i = 0; i < size; ++i)
        target[i] = text.empty() ? '?' : text[i % text.size()];
}

void logLine(State& s, const std::string& line, int16_t result) {
    s.log += line + " -> " + std::to_string(result) + "\n";
}

} // namespace

extern "C" {

#ifndef TEST_DRIVER_LACKS_ClientConnect
int16_t RP1210_ClientConnect(void*, int16_t deviceId, const char* protocol, int32_t txSize, int32_t rxSize,
                             int16_t appPacketizes) {
    InsideCall inside("ClientConnect");
    State& s = state();
    std::lock_guard lock(s.mutex);
    int16_t result = resultFor(s, "ClientConnect", -1);
    if (result == -1)
        result = s.nextClient++;
    if (result >= 0 && result < 128)
        s.disconnected[result] = false;
    logLine(s,
            "ClientConnect " + std::to_string(deviceId) + " " + (protocol ? protocol : "(null)") + " " +
                std::to_string(txSize) + " " + std::to_string(rxSize) + " " + std::to_string(appPacketizes),
            result);
    return result;
}
#endif

#ifndef TEST_DRIVER_LACKS_ClientDisconnect
int16_t RP1210_ClientDisconnect(int16_t client) {
    InsideCall inside("ClientDisconnect");
    State& s = state();
    std::lock_guard lock(s.mutex);
    const int16_t result = resultFor(s, "ClientDisconnect", 0);
    s.disconnected[client] = true;
    s.readable.notify_all();
    logLine(s, "ClientDisconnect " + std::to_string(client), result);
    return result;
}
#endif

#if !defined(TEST_DRIVER_PARTIAL) && !defined(TEST_DRIVER_LACKS_SendMessage)
int16_t RP1210_SendMessage(int16_t client, const char* message, int16_t length, int16_t notify,
                           int16_t block) {
    InsideCall inside("SendMessage");
    State& s = state();
    std::lock_guard lock(s.mutex);
    const int16_t result = resultFor(s, "SendMessage", 0);
    logLine(s,
            "SendMessage " + std::to_string(client) + " " + hexBytes(message, length) + " " +
                std::to_string(length) + " " + std::to_string(notify) + " " + std::to_string(block),
            result);
    return result;
}
#endif

#ifndef TEST_DRIVER_LACKS_ReadMessage
int16_t RP1210_ReadMessage(int16_t client, char* buffer, int16_t size, int16_t block) {
    InsideCall inside("ReadMessage");
    State& s = state();
    std::unique_lock lock(s.mutex);
    ++s.readCalls;
    for (;;) {
        auto flood = s.floods.find(client);
        if (flood != s.floods.end() && !flood->second.empty()) {
            const auto& bytes = flood->second;
            if (int(bytes.size()) > size)
                return -ERR_MESSAGE_TOO_LONG;
            std::memcpy(buffer, bytes.data(), bytes.size());
            return static_cast<int16_t>(bytes.size());
        }
        auto& queue = s.reads[client];
        if (!queue.empty()) {
            QueuedRead read = std::move(queue.front());
            queue.pop_front();
            if (int(read.bytes.size()) > size)
                return -ERR_MESSAGE_TOO_LONG;
            if (buffer && !read.bytes.empty())
                std::memcpy(buffer, read.bytes.data(), read.bytes.size());
            return read.result != 0 ? read.result : static_cast<int16_t>(read.bytes.size());
        }
        if (!block)
            return 0;
        if (s.disconnected[client])
            return -ERR_CLIENT_DISCONNECTED;
        s.readable.wait(lock);
    }
}
#endif

#ifndef TEST_DRIVER_LACKS_SendCommand
int16_t RP1210_SendCommand(int16_t command, int16_t client, char* bytes, int16_t length) {
    InsideCall inside("SendCommand");
    State& s = state();
    std::lock_guard lock(s.mutex);
    int16_t result = resultFor(s, "SendCommand", 0);
    auto byCommand = s.commandResults.find(command);
    if (byCommand != s.commandResults.end())
        result = byCommand->second;
    logLine(s,
            "SendCommand " + std::to_string(command) + " " + std::to_string(client) + " " +
                hexBytes(bytes, length) + " " + std::to_string(length),
            result);
    return result;
}
#endif

#ifndef TEST_DRIVER_LACKS_ReadVersion
int16_t RP1210_ReadVersion(char* dllMajor, char* dllMinor, char* apiMajor, char* apiMinor) {
    InsideCall inside("ReadVersion");
    State& s = state();
    std::lock_guard lock(s.mutex);
    const int16_t result = resultFor(s, "ReadVersion", 0);
    char* targets[4] = {dllMajor, dllMinor, apiMajor, apiMinor};
    for (int i = 0; i < 4; ++i)
        if (targets[i])
            putText(s, targets[i], RP1210_VERSION_TEXT_SIZE, s.version[i]);
    logLine(s, "ReadVersion", result);
    return result;
}
#endif

#ifndef TEST_DRIVER_LACKS_GetHardwareStatus
int16_t RP1210_GetHardwareStatus(int16_t client, char*, int16_t size, int16_t block) {
    InsideCall inside("GetHardwareStatus");
    State& s = state();
    std::lock_guard lock(s.mutex);
    const int16_t result = resultFor(s, "GetHardwareStatus", 0);
    logLine(s,
            "GetHardwareStatus " + std::to_string(client) + " " + std::to_string(size) + " " +
                std::to_string(block),
            result);
    return result;
}
#endif

#if !defined(TEST_DRIVER_PARTIAL) && !defined(TEST_DRIVER_LACKS_GetErrorMsg)
int16_t RP1210_GetErrorMsg(int16_t code, char* description) {
    InsideCall inside("GetErrorMsg");
    State& s = state();
    std::lock_guard lock(s.mutex);
    auto text = s.errorTexts.find(code);
    const int16_t result = text == s.errorTexts.end() ? 1 : resultFor(s, "GetErrorMsg", 0);
    if (result == 0 && description)
        putText(s, description, RP1210_ERROR_TEXT_SIZE, text->second);
    logLine(s, "GetErrorMsg " + std::to_string(code), result);
    return result;
}
#endif

TEST_DRIVER_EXPORT void TestDriver_Reset(void) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.log.clear();
    s.readCalls = 0;
    s.queued.clear();
    s.fixed.clear();
    s.commandResults.clear();
    s.version[0] = "1";
    s.version[1] = "0";
    s.version[2] = "2";
    s.version[3] = "0";
    s.errorTexts.clear();
    s.reads.clear();
    s.floods.clear();
    s.disconnected.clear();
    s.nextClient = 0;
    s.delays.clear();
    ++s.holdGeneration;
    s.unterminatedTexts = false;
    s.readable.notify_all();
}

TEST_DRIVER_EXPORT const char* TestDriver_CallLog(void) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.logCopy = s.log;
    return s.logCopy.c_str();
}

TEST_DRIVER_EXPORT void TestDriver_ClearLog(void) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.log.clear();
}

TEST_DRIVER_EXPORT int TestDriver_ReadCallCount(void) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.readCalls;
}

TEST_DRIVER_EXPORT void TestDriver_QueueResult(const char* function, int16_t result) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.queued[function].push_back(result);
}

TEST_DRIVER_EXPORT void TestDriver_SetResult(const char* function, int16_t result) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.fixed[function] = result;
}

TEST_DRIVER_EXPORT void TestDriver_SetCommandResult(int16_t command, int16_t result) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.commandResults[command] = result;
}

TEST_DRIVER_EXPORT void TestDriver_SetVersion(const char* dllMajor, const char* dllMinor,
                                              const char* apiMajor, const char* apiMinor) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.version[0] = dllMajor;
    s.version[1] = dllMinor;
    s.version[2] = apiMajor;
    s.version[3] = apiMinor;
}

TEST_DRIVER_EXPORT void TestDriver_SetErrorText(int16_t code, const char* text) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (text)
        s.errorTexts[code] = text;
    else
        s.errorTexts.erase(code);
}

TEST_DRIVER_EXPORT void TestDriver_QueueReadResult(int16_t client, const uint8_t* bytes, int length,
                                                   int16_t result) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.reads[client].push_back(QueuedRead{std::vector<uint8_t>(bytes, bytes + length), result});
    s.readable.notify_all();
}

TEST_DRIVER_EXPORT void TestDriver_QueueRead(int16_t client, const uint8_t* bytes, int length) {
    TestDriver_QueueReadResult(client, bytes, length, 0);
}

TEST_DRIVER_EXPORT void TestDriver_SetReadFlood(int16_t client, const uint8_t* bytes, int length) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.floods[client] = std::vector<uint8_t>(bytes, bytes + length);
    s.readable.notify_all();
}

TEST_DRIVER_EXPORT int TestDriver_PendingReads(int16_t client) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return int(s.reads[client].size());
}

TEST_DRIVER_EXPORT void TestDriver_SetDelay(const char* function, int milliseconds) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.delays[function] = milliseconds;
}

TEST_DRIVER_EXPORT void TestDriver_ReleaseHeldCalls(void) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    ++s.holdGeneration;
    s.readable.notify_all();
}

TEST_DRIVER_EXPORT int TestDriver_CallsInside(void) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.callsInside;
}

TEST_DRIVER_EXPORT void TestDriver_FreeStateOnUnload(void) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.freeOnUnload = true;
}

TEST_DRIVER_EXPORT void TestDriver_SetUnterminatedTexts(int unterminated) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.unterminatedTexts = unterminated != 0;
}

} // extern "C"
