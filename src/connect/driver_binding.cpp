#include "connect/driver_binding.h"

#include "platform/crt_format.h"

#include <cstring>
#include <thread>

namespace connect {

namespace {
// Counts a call from before its entry point is fetched until it returns, so
// releaseLibrary() can tell when no thread is left inside the library. Both
// sides use sequentially consistent order: a call that starts after the
// entry points were cleared finds them cleared.
class CallInFlight {
public:
    explicit CallInFlight(std::atomic<int>& calls) : calls_(calls) { calls_.fetch_add(1); }
    ~CallInFlight() { calls_.fetch_sub(1); }

private:
    std::atomic<int>& calls_;
};
} // namespace

DriverBinding& driverBinding() {
    // Never destroyed: worker threads may still read it while the process exits.
    static DriverBinding* binding = new DriverBinding;
    return *binding;
}

std::atomic<int16_t>& DriverBinding::clientId(Protocol protocol) {
    switch (protocol) {
    case Protocol::J1708:
        return j1708ClientId;
    case Protocol::J1850:
        return j1850ClientId;
    case Protocol::J1939:
        break;
    }
    return j1939ClientId;
}

int16_t DriverBinding::clientIdOf(Protocol protocol) const {
    return const_cast<DriverBinding*>(this)->clientId(protocol).load();
}

int16_t DriverBinding::clientConnect(void* window, int16_t deviceId, const char* protocol, int32_t txSize,
                                     int32_t rxSize, int16_t appPacketizes) const {
    CallInFlight call(callsInFlight);
    auto entry = RP1210_ClientConnect.load();
    return entry ? entry(window, deviceId, protocol, txSize, rxSize, appPacketizes) : kEntryPointMissing;
}

int16_t DriverBinding::clientDisconnect(int16_t client) const {
    CallInFlight call(callsInFlight);
    auto entry = RP1210_ClientDisconnect.load();
    return entry ? entry(client) : kEntryPointMissing;
}

int16_t DriverBinding::sendMessage(int16_t client, const char* bytes, int16_t length, int16_t notify,
                                   int16_t block) const {
    CallInFlight call(callsInFlight);
    auto entry = RP1210_SendMessage.load();
    return entry ? entry(client, bytes, length, notify, block) : kEntryPointMissing;
}

int16_t DriverBinding::readMessage(int16_t client, char* buffer, int16_t size, int16_t block) const {
    CallInFlight call(callsInFlight);
    auto entry = RP1210_ReadMessage.load();
    // Readers treat every negative result as "nothing read".
    return entry ? entry(client, buffer, size, block) : int16_t(-kEntryPointMissing);
}

int16_t DriverBinding::sendCommand(int16_t command, int16_t client, char* bytes, int16_t length) const {
    CallInFlight call(callsInFlight);
    auto entry = RP1210_SendCommand.load();
    return entry ? entry(command, client, bytes, length) : kEntryPointMissing;
}

int16_t DriverBinding::readVersion(char* dllMajor, char* dllMinor, char* apiMajor, char* apiMinor) const {
    CallInFlight call(callsInFlight);
    auto entry = RP1210_ReadVersion.load();
    return entry ? entry(dllMajor, dllMinor, apiMajor, apiMinor) : kEntryPointMissing;
}

int16_t DriverBinding::getErrorMsg(int16_t code, char* description) const {
    CallInFlight call(callsInFlight);
    auto entry = RP1210_GetErrorMsg.load();
    return entry ? entry(code, description) : int16_t(1);
}

int16_t DriverBinding::getHardwareStatus(int16_t client, char* status, int16_t size, int16_t block) const {
    CallInFlight call(callsInFlight);
    auto entry = RP1210_GetHardwareStatus.load();
    return entry ? entry(client, status, size, block) : kEntryPointMissing;
}

void DriverBinding::forgetEntryPoints() {
    RP1210_ClientConnect = nullptr;
    RP1210_ClientDisconnect = nullptr;
    RP1210_SendMessage = nullptr;
    RP1210_ReadMessage = nullptr;
    RP1210_SendCommand = nullptr;
    RP1210_ReadVersion = nullptr;
    RP1210_GetHardwareStatus = nullptr;
    RP1210_GetErrorMsg = nullptr;
}

void DriverBinding::releaseLibrary(std::chrono::milliseconds callTimeout) {
    forgetEntryPoints();
    const auto deadline = std::chrono::steady_clock::now() + callTimeout;
    while (callsInFlight.load() != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (driverLibrary && callsInFlight.load() == 0)
        driverLibrary->release();
    driverLibrary.reset(); // does not unload a library still held
}

void DriverBinding::resolveEntryPoints() {
    forgetEntryPoints();
    if (!driverLibrary || !driverLibrary->isLoaded())
        return;
    auto resolve = [this](const char* name) { return driverLibrary->resolve(name); };
    RP1210_ClientConnect = reinterpret_cast<RP1210_ClientConnect_Fn>(resolve("RP1210_ClientConnect"));
    RP1210_ClientDisconnect =
        reinterpret_cast<RP1210_ClientDisconnect_Fn>(resolve("RP1210_ClientDisconnect"));
    RP1210_SendMessage = reinterpret_cast<RP1210_SendMessage_Fn>(resolve("RP1210_SendMessage"));
    RP1210_ReadMessage = reinterpret_cast<RP1210_ReadMessage_Fn>(resolve("RP1210_ReadMessage"));
    RP1210_SendCommand = reinterpret_cast<RP1210_SendCommand_Fn>(resolve("RP1210_SendCommand"));
    RP1210_ReadVersion = reinterpret_cast<RP1210_ReadVersion_Fn>(resolve("RP1210_ReadVersion"));
    RP1210_GetHardwareStatus =
        reinterpret_cast<RP1210_GetHardwareStatus_Fn>(resolve("RP1210_GetHardwareStatus"));
    RP1210_GetErrorMsg = reinterpret_cast<RP1210_GetErrorMsg_Fn>(resolve("RP1210_GetErrorMsg"));
}

QString driverErrorText(int code) {
    // The buffer is larger than the 81 bytes a driver may fill, and is cut
    // off at its end, so a driver that forgets the terminator cannot make us
    // read past it.
    char description[RP1210_ERROR_TEXT_SIZE + 47] = {};
    const int16_t result = driverBinding().getErrorMsg(static_cast<int16_t>(code), description);
    description[sizeof description - 1] = '\0';
    const std::string text = result != 0 ? std::string("Unknown Error") : std::string(description);
    return QString::fromStdString(platform::crtFormat("Error %03d: %s", code, text.c_str()));
}

} // namespace connect
