/*
 * RP1210A driver interface: the entry points, result codes and command
 * numbers shared by the program's driver binding and by every driver library
 * we build. Written from the published numbers of the RP1210A API.
 *
 * Widths follow the 32-bit Windows ABI the API was defined on: "short" is a
 * 16-bit signed value and "long" a 32-bit one, so the fixed-width types are
 * used here to keep the same widths on 64-bit Linux.
 */
#ifndef RP1210A_RP1210A_H
#define RP1210A_RP1210A_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define RP1210A_EXPORT __attribute__((visibility("default")))
#else
#define RP1210A_EXPORT
#endif

/* Result codes. Success is 0; failures start at 128 so that bit 7 of the low
 * byte marks every error. */
enum {
    RP1210_NO_ERRORS = 0,
    ERR_DLL_NOT_INITIALIZED = 128,
    ERR_INVALID_CLIENT_ID = 129,
    ERR_CLIENT_ALREADY_CONNECTED = 130,
    ERR_CLIENT_AREA_FULL = 131,
    ERR_FREE_MEMORY = 132,
    ERR_NOT_ENOUGH_MEMORY = 133,
    ERR_INVALID_DEVICE = 134,
    ERR_DEVICE_IN_USE = 135,
    ERR_INVALID_PROTOCOL = 136,
    ERR_TX_QUEUE_FULL = 137,
    ERR_TX_QUEUE_CORRUPT = 138,
    ERR_RX_QUEUE_FULL = 139,
    ERR_RX_QUEUE_CORRUPT = 140,
    ERR_MESSAGE_TOO_LONG = 141,
    ERR_HARDWARE_NOT_RESPONDING = 142,
    ERR_COMMAND_NOT_SUPPORTED = 143,
    ERR_INVALID_COMMAND = 144,
    ERR_TXMESSAGE_STATUS = 145,
    ERR_ADDRESS_CLAIM_FAILED = 146,
    ERR_CANNOT_SET_PRIORITY = 147,
    ERR_CLIENT_DISCONNECTED = 148,
    ERR_CONNECT_NOT_ALLOWED = 149,
    ERR_CHANGE_MODE_FAILED = 150,
    ERR_BUS_OFF = 151,
    ERR_COULD_NOT_TX_ADDRESS_CLAIMED = 152,
    ERR_ADDRESS_LOST = 153,
    ERR_CODE_NOT_FOUND = 154,
    ERR_BLOCK_NOT_ALLOWED = 155,
    ERR_MULTIPLE_CLIENTS_CONNECTED = 156,
    ERR_ADDRESS_NEVER_CLAIMED = 157
};

/* Command numbers for RP1210_SendCommand. */
enum {
    RP1210_Reset_Device = 0,
    RP1210_Set_All_Filters_States_to_Pass = 3,
    RP1210_Set_Message_Filtering_For_J1939 = 4,
    RP1210_Set_Message_Filtering_For_CAN = 5,
    RP1210_Set_Message_Filtering_For_J1708 = 7,
    RP1210_Set_Message_Filtering_For_J1850 = 8,
    RP1210_Set_Message_Filtering_For_ISO15765 = 9,
    RP1210_Generic_Driver_Command = 14,
    RP1210_Set_J1708_Mode = 15,
    RP1210_Echo_Transmitted_Messages = 16,
    RP1210_Set_All_Filters_States_to_Discard = 17,
    RP1210_Set_Message_Receive = 18,
    RP1210_Protect_J1939_Address = 19
};

/* J1939 filter record flags (first byte of command 4's record). */
enum { FILTER_PGN = 0x01, FILTER_PRIORITY = 0x02, FILTER_SOURCE = 0x04, FILTER_DESTINATION = 0x08 };

/* Values for the blocking arguments and the echo and receive switches. */
enum {
    BLOCKING_IO = 1,
    NON_BLOCKING_IO = 0,
    ECHO_OFF = 0,
    ECHO_ON = 1,
    RECEIVE_OFF = 0,
    RECEIVE_ON = 1,
    BLOCK_UNTIL_DONE = 0,
    RETURN_BEFORE_COMPLETION = 2
};

/* Entry point types. The window handle is opaque to drivers that do not post
 * notifications to it. */
typedef int16_t (*RP1210_ClientConnect_Fn)(void* clientWindow, int16_t deviceId, const char* protocol,
                                           int32_t transmitBufferSize, int32_t receiveBufferSize,
                                           int16_t appPacketizesIncoming);
typedef int16_t (*RP1210_ClientDisconnect_Fn)(int16_t clientId);
typedef int16_t (*RP1210_SendMessage_Fn)(int16_t clientId, const char* message, int16_t length,
                                         int16_t notifyStatusOnTransmit, int16_t blockOnSend);
typedef int16_t (*RP1210_ReadMessage_Fn)(int16_t clientId, char* buffer, int16_t bufferSize,
                                         int16_t blockOnRead);
typedef int16_t (*RP1210_SendCommand_Fn)(int16_t commandNumber, int16_t clientId, char* commandBytes,
                                         int16_t length);
typedef int16_t (*RP1210_ReadVersion_Fn)(char* dllMajor, char* dllMinor, char* apiMajor, char* apiMinor);
typedef int16_t (*RP1210_GetHardwareStatus_Fn)(int16_t clientId, char* statusBuffer, int16_t bufferSize,
                                               int16_t blockOnRequest);
typedef int16_t (*RP1210_GetErrorMsg_Fn)(int16_t errorCode, char* description);

/* Declarations for driver libraries that implement the interface. The program
 * itself never links against these: it resolves them at run time by name. */
#ifdef RP1210A_DRIVER_IMPLEMENTATION
RP1210A_EXPORT int16_t RP1210_ClientConnect(void* clientWindow, int16_t deviceId, const char* protocol,
                                            int32_t transmitBufferSize, int32_t receiveBufferSize,
                                            int16_t appPacketizesIncoming);
RP1210A_EXPORT int16_t RP1210_ClientDisconnect(int16_t clientId);
RP1210A_EXPORT int16_t RP1210_SendMessage(int16_t clientId, const char* message, int16_t length,
                                          int16_t notifyStatusOnTransmit, int16_t blockOnSend);
RP1210A_EXPORT int16_t RP1210_ReadMessage(int16_t clientId, char* buffer, int16_t bufferSize,
                                          int16_t blockOnRead);
RP1210A_EXPORT int16_t RP1210_SendCommand(int16_t commandNumber, int16_t clientId, char* commandBytes,
                                          int16_t length);
RP1210A_EXPORT int16_t RP1210_ReadVersion(char* dllMajor, char* dllMinor, char* apiMajor, char* apiMinor);
RP1210A_EXPORT int16_t RP1210_GetHardwareStatus(int16_t clientId, char* statusBuffer, int16_t bufferSize,
                                                int16_t blockOnRequest);
RP1210A_EXPORT int16_t RP1210_GetErrorMsg(int16_t errorCode, char* description);
#endif

/* The description buffer handed to RP1210_GetErrorMsg holds 80 characters
 * plus the terminator. */
#define RP1210_ERROR_TEXT_SIZE 81
/* Each version text buffer handed to RP1210_ReadVersion is 8 bytes. */
#define RP1210_VERSION_TEXT_SIZE 8

#ifdef __cplusplus
}
#endif

#endif
