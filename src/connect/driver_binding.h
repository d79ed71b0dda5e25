#pragma once
// The one process-wide record of the loaded RP1210A driver: its library, the
// eight entry points, the client id of each protocol and the set of protocols
// whose client is open. Every call into the driver goes through it.

#include "platform/library.h"

#include <rp1210a/rp1210a.h>

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace connect {

enum class Protocol { J1708 = 0, J1850 = 1, J1939 = 2 };

// Bits of DriverBinding::connectedProtocols.
enum ProtocolBit : uint8_t { J1708_BIT = 1, J1850_BIT = 2, J1939_BIT = 4 };
inline constexpr uint8_t protocolBit(Protocol protocol) {
    return uint8_t(1u << int(protocol));
}

// Returned by the call wrappers when the entry point is not available (never
// resolved, or its library has been released): the driver's "not
// initialised" code, so every caller's error rule treats it as a failure.
inline constexpr int16_t kEntryPointMissing = ERR_DLL_NOT_INITIALIZED;

struct DriverBinding {
    std::optional<platform::DynamicLibrary> driverLibrary;
    std::string libraryFileName; // the implementation name last tried, with ".dll"

    // The entry points under their RP1210A names. The worker threads read
    // them while the user-interface thread may bind another driver, so each
    // is an atomic pointer; null while unresolved or released.
    std::atomic<RP1210_ClientConnect_Fn> RP1210_ClientConnect{nullptr};
    std::atomic<RP1210_ClientDisconnect_Fn> RP1210_ClientDisconnect{nullptr};
    std::atomic<RP1210_SendMessage_Fn> RP1210_SendMessage{nullptr};
    std::atomic<RP1210_ReadMessage_Fn> RP1210_ReadMessage{nullptr};
    std::atomic<RP1210_SendCommand_Fn> RP1210_SendCommand{nullptr};
    std::atomic<RP1210_ReadVersion_Fn> RP1210_ReadVersion{nullptr};
    std::atomic<RP1210_GetHardwareStatus_Fn> RP1210_GetHardwareStatus{nullptr};
    std::atomic<RP1210_GetErrorMsg_Fn> RP1210_GetErrorMsg{nullptr};

    // Written by the user-interface thread, read by the worker threads
    // without a lock: single values, so atomics with relaxed order suffice.
    std::atomic<int16_t> j1708ClientId{0};
    std::atomic<int16_t> j1850ClientId{0};
    std::atomic<int16_t> j1939ClientId{0};
    std::atomic<uint8_t> connectedProtocols{0};

    std::atomic<int16_t>& clientId(Protocol protocol);
    int16_t clientIdOf(Protocol protocol) const;
    bool isConnected(Protocol protocol) const { return connectedProtocols.load() & protocolBit(protocol); }

    // The entry points wrapped: a missing entry point is never called and
    // gives kEntryPointMissing (ClientDisconnect returns it too).
    int16_t clientConnect(void* window, int16_t deviceId, const char* protocol, int32_t txSize,
                          int32_t rxSize, int16_t appPacketizes) const;
    int16_t clientDisconnect(int16_t client) const;
    int16_t sendMessage(int16_t client, const char* bytes, int16_t length, int16_t notify,
                        int16_t block) const;
    int16_t readMessage(int16_t client, char* buffer, int16_t size, int16_t block) const;
    int16_t sendCommand(int16_t command, int16_t client, char* bytes, int16_t length) const;
    int16_t readVersion(char* dllMajor, char* dllMinor, char* apiMajor, char* apiMinor) const;
    int16_t getErrorMsg(int16_t code, char* description) const;
    int16_t getHardwareStatus(int16_t client, char* status, int16_t size, int16_t block) const;

    // Clears the entry points (the library they belonged to is gone).
    void forgetEntryPoints();
    void resolveEntryPoints();
    // Clears the entry points and unloads the library once no thread is
    // inside one of its calls any more. A call still running after
    // callTimeout keeps the library loaded for good, so that thread never
    // returns into unmapped code. Either way driverLibrary is empty after.
    void releaseLibrary(std::chrono::milliseconds callTimeout = std::chrono::seconds(2));

    // Calls between fetching an entry point and returning from it.
    mutable std::atomic<int> callsInFlight{0};
};

// The process-wide binding.
DriverBinding& driverBinding();

// A driver result fails when bit 7 of its low byte is set.
inline constexpr bool isDriverError(int result) {
    return (result & 0x80) != 0;
}

// "Error %03d: %s" with the driver's description of code, or "Unknown Error".
QString driverErrorText(int code);

} // namespace connect
