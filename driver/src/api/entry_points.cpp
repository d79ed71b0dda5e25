// The eight RP1210A entry points: argument checks and hand-over to the adapter.
#include "clients/adapter.h"
#include "tarvik_version.h"
#include "vehicle/vehicle.h"

#include <rp1210a/rp1210a.h>

#include <cstdio>
#include <cstring>
#include <string>

using zt::Adapter;

namespace {

struct ErrorText {
    int code;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {RP1210_NO_ERRORS, "No errors"},
    {ERR_DLL_NOT_INITIALIZED, "The driver library is not initialized"},
    {ERR_INVALID_CLIENT_ID, "Invalid client id"},
    {ERR_CLIENT_ALREADY_CONNECTED, "Client already connected"},
    {ERR_CLIENT_AREA_FULL, "Client area full: no more clients can connect"},
    {ERR_FREE_MEMORY, "Memory could not be freed"},
    {ERR_NOT_ENOUGH_MEMORY, "Not enough memory"},
    {ERR_INVALID_DEVICE, "Invalid device id"},
    {ERR_DEVICE_IN_USE, "Device in use"},
    {ERR_INVALID_PROTOCOL, "Invalid protocol"},
    {ERR_TX_QUEUE_FULL, "Transmit queue full"},
    {ERR_TX_QUEUE_CORRUPT, "Transmit queue corrupt"},
    {ERR_RX_QUEUE_FULL, "Receive queue full: received messages were lost"},
    {ERR_RX_QUEUE_CORRUPT, "Receive queue corrupt"},
    {ERR_MESSAGE_TOO_LONG, "Message too long"},
    {ERR_HARDWARE_NOT_RESPONDING, "Hardware not responding"},
    {ERR_COMMAND_NOT_SUPPORTED, "Command not supported"},
    {ERR_INVALID_COMMAND, "Invalid command or argument"},
    {ERR_TXMESSAGE_STATUS, "Transmit message status"},
    {ERR_ADDRESS_CLAIM_FAILED, "Address claim failed"},
    {ERR_CANNOT_SET_PRIORITY, "Cannot set priority"},
    {ERR_CLIENT_DISCONNECTED, "Client disconnected"},
    {ERR_CONNECT_NOT_ALLOWED, "Connect not allowed"},
    {ERR_CHANGE_MODE_FAILED, "Change mode failed"},
    {ERR_BUS_OFF, "Bus off"},
    {ERR_COULD_NOT_TX_ADDRESS_CLAIMED, "Could not transmit Address Claimed"},
    {ERR_ADDRESS_LOST, "Address lost to another node"},
    {ERR_CODE_NOT_FOUND, "Error code not found"},
    {ERR_BLOCK_NOT_ALLOWED, "Blocking not allowed"},
    {ERR_MULTIPLE_CLIENTS_CONNECTED, "Multiple clients connected"},
    {ERR_ADDRESS_NEVER_CLAIMED, "Address never claimed"},
};

void putText(char* out, const char* text) {
    std::snprintf(out, RP1210_VERSION_TEXT_SIZE, "%s", text);
}

// RP1210A callers hand RP1210_GetErrorMsg an 80-byte buffer: the text and its
// terminator never take more.
constexpr std::size_t kErrorTextBytes = 80;
constexpr std::size_t kErrorTextRoom = kErrorTextBytes - 1;

// A text too long for `room` keeps its beginning and its end around "...",
// so a path at the end stays readable.
std::string fitted(const std::string& text, std::size_t room) {
    if (text.size() <= room)
        return text;
    if (room < 5)
        return text.substr(0, room);
    const std::size_t head = (room - 3) / 2;
    return text.substr(0, head) + "..." + text.substr(text.size() - (room - 3 - head));
}

void putErrorText(char* out, const std::string& text) {
    std::snprintf(out, kErrorTextBytes, "%s", text.c_str());
}

} // namespace

extern "C" {

int16_t RP1210_ClientConnect(void* /*clientWindow: no notifications are posted*/, int16_t deviceId,
                             const char* protocol, int32_t /*transmitBufferSize: sends are immediate*/,
                             int32_t receiveBufferSize, int16_t /*appPacketizesIncoming*/) {
    // Devices whose ini entry asks for a simulated vehicle get one.
    static const bool vehicles = (Adapter::instance().setDeviceNodesFactory(zt::makeSimulatedNodes), true);
    (void)vehicles;
    // The device id travels as a signed 16-bit value; ids up to 65535 are
    // meant, so it is read back as unsigned.
    return Adapter::instance().connect(static_cast<uint16_t>(deviceId), protocol, receiveBufferSize);
}

int16_t RP1210_ClientDisconnect(int16_t clientId) {
    return Adapter::instance().disconnect(clientId);
}

int16_t RP1210_SendMessage(int16_t clientId, const char* message, int16_t length, int16_t /*notify*/,
                           int16_t block) {
    auto c = Adapter::instance().find(clientId);
    if (!c)
        return ERR_INVALID_CLIENT_ID;
    return Adapter::instance().send(*c, reinterpret_cast<const uint8_t*>(message), length, block != 0);
}

int16_t RP1210_ReadMessage(int16_t clientId, char* buffer, int16_t bufferSize, int16_t blockOnRead) {
    auto c = Adapter::instance().find(clientId);
    if (!c)
        return -ERR_INVALID_CLIENT_ID;
    return Adapter::instance().read(*c, buffer, bufferSize, blockOnRead != 0);
}

int16_t RP1210_SendCommand(int16_t commandNumber, int16_t clientId, char* commandBytes, int16_t length) {
    auto c = Adapter::instance().find(clientId);
    if (!c)
        return ERR_INVALID_CLIENT_ID;
    return Adapter::instance().command(*c, commandNumber, reinterpret_cast<const uint8_t*>(commandBytes),
                                       length);
}

int16_t RP1210_ReadVersion(char* dllMajor, char* dllMinor, char* apiMajor, char* apiMinor) {
    if (dllMajor == nullptr || dllMinor == nullptr || apiMajor == nullptr || apiMinor == nullptr)
        return ERR_INVALID_COMMAND;
    putText(dllMajor, TARVIK_VERSION_MAJOR);
    putText(dllMinor, TARVIK_VERSION_MINOR);
    putText(apiMajor, "1");
    putText(apiMinor, "0");
    return RP1210_NO_ERRORS;
}

int16_t RP1210_GetHardwareStatus(int16_t clientId, char* statusBuffer, int16_t bufferSize,
                                 int16_t blockOnRequest) {
    auto c = Adapter::instance().find(clientId);
    if (!c)
        return ERR_INVALID_CLIENT_ID;
    return Adapter::instance().status(*c, statusBuffer, bufferSize, blockOnRequest != 0);
}

int16_t RP1210_GetErrorMsg(int16_t errorCode, char* description) {
    if (description == nullptr)
        return ERR_INVALID_COMMAND;
    // A connect refused by a link names the cause (the file, the folder).
    if (const std::string text = zt::Adapter::instance().refusalText(errorCode); !text.empty()) {
        putErrorText(description, fitted(text, kErrorTextRoom));
        return RP1210_NO_ERRORS;
    }
    for (const auto& e : kErrorTexts) {
        if (e.code != errorCode)
            continue;
        // A caller that stored a refused connect's code as its client id gets
        // this code from every call on it: say why the connect failed.
        const std::string cause =
            errorCode == ERR_INVALID_CLIENT_ID ? zt::Adapter::instance().failedConnectText() : std::string();
        if (cause.empty()) {
            putErrorText(description, e.text);
        } else {
            const std::string before = std::string(e.text) + " (the connect failed: ";
            putErrorText(description, before + fitted(cause, kErrorTextRoom - before.size() - 1) + ")");
        }
        return RP1210_NO_ERRORS;
    }
    return ERR_CODE_NOT_FOUND;
}

} // extern "C"
