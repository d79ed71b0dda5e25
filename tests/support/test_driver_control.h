#pragma once
// Scripts the test driver library from a test. The binding loads the same
// file ("TDRV1210.dll" -> libTDRV1210.so beside the test), so both see one
// copy of the driver's state.

#include "support/test_driver/test_driver.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

inline constexpr const char* kTestDriverName = "TDRV1210";        // all eight entry points
inline constexpr const char* kPartialTestDriverName = "TDRVPART"; // lacks SendMessage and GetErrorMsg
// The test driver lacking one export: "TDRVNO_" + the entry point's name
// without "RP1210_", e.g. TDRVNO_ReadMessage.
inline constexpr const char* kLackingTestDriverPrefix = "TDRVNO_";

class TestDriverControl {
public:
    // Loads (or finds already loaded) the named test driver.
    explicit TestDriverControl(const char* implementationName = kTestDriverName);

    void reset() const { reset_(); }
    // The call log, one call per line, without the trailing newline.
    QStringList calls() const;
    void clearCalls() const { clearLog_(); }
    int readCallCount() const { return readCallCount_(); }

    void queueResult(const char* function, int16_t result) const { queueResult_(function, result); }
    void setResult(const char* function, int16_t result) const { setResult_(function, result); }
    void setCommandResult(int16_t command, int16_t result) const { setCommandResult_(command, result); }
    void setVersion(const char* a, const char* b, const char* c, const char* d) const {
        setVersion_(a, b, c, d);
    }
    void setErrorText(int16_t code, const char* text) const { setErrorText_(code, text); }
    void queueRead(int16_t client, const std::vector<uint8_t>& bytes) const {
        queueRead_(client, bytes.data(), int(bytes.size()));
    }
    void queueReadResult(int16_t client, const std::vector<uint8_t>& bytes, int16_t result) const {
        queueReadResult_(client, bytes.data(), int(bytes.size()), result);
    }
    void setReadFlood(int16_t client, const std::vector<uint8_t>& bytes) const {
        setReadFlood_(client, bytes.data(), int(bytes.size()));
    }
    int pendingReads(int16_t client) const { return pendingReads_(client); }
    void setDelay(const char* function, int milliseconds) const { setDelay_(function, milliseconds); }
    void releaseHeldCalls() const { releaseHeldCalls_(); }
    int callsInside() const { return callsInside_(); }
    void setUnterminatedTexts(bool unterminated) const { setUnterminatedTexts_(unterminated ? 1 : 0); }

    // Lets go of this object's hold on the library: once the binding
    // releases it too, it is unloaded, state and all. The object is
    // unusable after.
    void release();

    bool isValid() const { return handle_ != nullptr; }

private:
    void* handle_ = nullptr;
    decltype(&TestDriver_Reset) reset_ = nullptr;
    decltype(&TestDriver_CallLog) callLog_ = nullptr;
    decltype(&TestDriver_ClearLog) clearLog_ = nullptr;
    decltype(&TestDriver_ReadCallCount) readCallCount_ = nullptr;
    decltype(&TestDriver_QueueResult) queueResult_ = nullptr;
    decltype(&TestDriver_SetResult) setResult_ = nullptr;
    decltype(&TestDriver_SetCommandResult) setCommandResult_ = nullptr;
    decltype(&TestDriver_SetVersion) setVersion_ = nullptr;
    decltype(&TestDriver_SetErrorText) setErrorText_ = nullptr;
    decltype(&TestDriver_QueueRead) queueRead_ = nullptr;
    decltype(&TestDriver_QueueReadResult) queueReadResult_ = nullptr;
    decltype(&TestDriver_SetReadFlood) setReadFlood_ = nullptr;
    decltype(&TestDriver_PendingReads) pendingReads_ = nullptr;
    decltype(&TestDriver_SetDelay) setDelay_ = nullptr;
    decltype(&TestDriver_ReleaseHeldCalls) releaseHeldCalls_ = nullptr;
    decltype(&TestDriver_CallsInside) callsInside_ = nullptr;
    decltype(&TestDriver_SetUnterminatedTexts) setUnterminatedTexts_ = nullptr;
};

} // namespace testsupport
