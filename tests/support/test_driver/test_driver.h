/*
 * Control interface of the test driver library: an RP1210A driver that
 * records every call with its arguments and returns scripted results. Tests
 * load it through the program's real binding (as "TDRV1210.dll") and script
 * it through these extra exports, reached with TestDriverControl.
 */
#ifndef TARVIK_TEST_DRIVER_H
#define TARVIK_TEST_DRIVER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Forget every call, script and queued message. */
void TestDriver_Reset(void);

/* The calls made so far, one per line, e.g.
 *   ClientConnect 101 J1708 0 0 0 -> 0
 *   SendCommand 18 0 [00] 1 -> 0
 *   SendMessage 0 [04 80 BE 10] 4 0 1 -> 0
 *   ReadVersion -> 0
 * ReadMessage calls are counted but not logged (readers poll in loops). */
const char* TestDriver_CallLog(void);
void TestDriver_ClearLog(void);
int TestDriver_ReadCallCount(void);

/* Results, per entry point name ("ClientConnect", "SendCommand", ...): each
 * queued result is used once, in order; then the fixed result, if set.
 * Without either, ClientConnect hands out ids 0, 1, 2, ... and every other
 * call returns 0. */
void TestDriver_QueueResult(const char* function, int16_t result);
void TestDriver_SetResult(const char* function, int16_t result);
/* Result of SendCommand for one command number only (overrides the above). */
void TestDriver_SetCommandResult(int16_t command, int16_t result);

/* Texts returned by ReadVersion. */
void TestDriver_SetVersion(const char* dllMajor, const char* dllMinor, const char* apiMajor,
                           const char* apiMinor);
/* Description for an error code; codes without one make GetErrorMsg return 1. */
void TestDriver_SetErrorText(int16_t code, const char* text);

/* Queue a message for ReadMessage on a client: returned whole (the result is
 * its length) when it fits the caller's buffer. result_override != 0 makes
 * the read return that value instead of the length (for garbage results). */
void TestDriver_QueueRead(int16_t client, const uint8_t* bytes, int length);
void TestDriver_QueueReadResult(int16_t client, const uint8_t* bytes, int length, int16_t result);
/* A client whose reads never run dry: every read returns this message (for
 * load and stress tests). length 0 stops the flood. */
void TestDriver_SetReadFlood(int16_t client, const uint8_t* bytes, int length);
/* Number of messages still queued for a client. */
int TestDriver_PendingReads(int16_t client);

/* Misbehaviour. A call to function (an entry point name) takes milliseconds
 * before it does anything; -1 holds it until TestDriver_ReleaseHeldCalls or
 * a reset. TestDriver_CallsInside counts the calls now inside the driver. */
void TestDriver_SetDelay(const char* function, int milliseconds);
void TestDriver_ReleaseHeldCalls(void);
int TestDriver_CallsInside(void);
/* ReadVersion and GetErrorMsg fill their whole buffers (8 and 81 bytes) by
 * repeating their texts, with no terminator. */
void TestDriver_SetUnterminatedTexts(int unterminated);
/* When the library is unloaded with no call inside, its state is freed (for
 * tests that unload it while the program runs). */
void TestDriver_FreeStateOnUnload(void);

#ifdef __cplusplus
}
#endif

#endif
