#include "support/test_driver_control.h"

#include "platform/library.h"

#include <dlfcn.h>

#include <stdexcept>

namespace testsupport {

TestDriverControl::TestDriverControl(const char* implementationName) {
    for (const std::string& path : platform::candidatePaths(std::string(implementationName) + ".dll")) {
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_)
            break;
    }
    if (!handle_)
        throw std::runtime_error(std::string("cannot load the test driver ") + implementationName);
    auto need = [this](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(handle_, name));
        if (!slot)
            throw std::runtime_error(std::string("test driver lacks ") + name);
    };
    need(reset_, "TestDriver_Reset");
    need(callLog_, "TestDriver_CallLog");
    need(clearLog_, "TestDriver_ClearLog");
    need(readCallCount_, "TestDriver_ReadCallCount");
    need(queueResult_, "TestDriver_QueueResult");
    need(setResult_, "TestDriver_SetResult");
    need(setCommandResult_, "TestDriver_SetCommandResult");
    need(setVersion_, "TestDriver_SetVersion");
    need(setErrorText_, "TestDriver_SetErrorText");
    need(queueRead_, "TestDriver_QueueRead");
    need(queueReadResult_, "TestDriver_QueueReadResult");
    need(setReadFlood_, "TestDriver_SetReadFlood");
    need(pendingReads_, "TestDriver_PendingReads");
    need(setDelay_, "TestDriver_SetDelay");
    need(releaseHeldCalls_, "TestDriver_ReleaseHeldCalls");
    need(callsInside_, "TestDriver_CallsInside");
    need(setUnterminatedTexts_, "TestDriver_SetUnterminatedTexts");
}

void TestDriverControl::release() {
    if (handle_) {
        if (auto freeOnUnload = reinterpret_cast<decltype(&TestDriver_FreeStateOnUnload)>(
                dlsym(handle_, "TestDriver_FreeStateOnUnload")))
            freeOnUnload();
        dlclose(handle_);
    }
    handle_ = nullptr;
}

QStringList TestDriverControl::calls() const {
    QString log = QString::fromLatin1(callLog_());
    if (log.endsWith(QLatin1Char('\n')))
        log.chop(1);
    return log.isEmpty() ? QStringList() : log.split(QLatin1Char('\n'));
}

} // namespace testsupport
