// Fuzzes our driver's command and transmit-buffer parsing through its entry
// points: RP1210_SendCommand and RP1210_SendMessage with arbitrary numbers,
// lengths and bytes, on one client of each protocol plus a second J1939
// client (so address claims meet a holder). The clients sit on the quiet
// device, so nothing but the input's own traffic reaches them, and address
// claims settle before the call returns. Queues are drained after every call.
//
// Input: a series of operations, each
//   op (1 byte): bit 0 command/message, bits 1-2 client, bit 3 null buffer
//   number (2 bytes, little-endian): command number (for messages unused)
//   length (2 bytes, little-endian): the length argument; the bytes handed
//     over are exactly the ones that follow, never more than the input holds
#include <rp1210a/rp1210a.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int16_t kQuietDevice = 102;
constexpr size_t kMaxInput = 8192;

struct Clients {
    int16_t ids[4];
};

// The driver reads its ini beside the binary it is part of, here the fuzzer.
// An empty non-blocking read answers at once, so draining the queues after
// every operation costs no waiting.
void writeDriverIni() {
    char self[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return;
    std::string folder(self, static_cast<size_t>(n));
    folder.resize(folder.rfind('/') + 1);
    std::ofstream(folder + "ZT121032.ini") << "[VendorInformation]\nDevices=102\nProtocols=1,2,3\n"
                                              "EmptyReadWaitMicroseconds=0\n"
                                              "[DeviceInformation102]\nDeviceID=102\nSimulatedVehicle=No\n"
                                              "[ProtocolInformation1]\nProtocolString=J1708\nDevices=102\n"
                                              "[ProtocolInformation2]\nProtocolString=J1850\nDevices=102\n"
                                              "[ProtocolInformation3]\nProtocolString=J1939\nDevices=102\n";
}

const Clients& clients() {
    static const Clients connected = [] {
        writeDriverIni();
        Clients c{};
        const char* protocols[4] = {"J1708", "J1850", "J1939", "J1939"};
        for (int i = 0; i < 4; ++i) {
            c.ids[i] = RP1210_ClientConnect(nullptr, kQuietDevice, protocols[i], 0, 0, 0);
            if (c.ids[i] < 0 || c.ids[i] >= 128)
                std::abort();
        }
        return c;
    }();
    return connected;
}

uint16_t take16(const uint8_t*& data, size_t& size) {
    uint16_t value = 0;
    for (int i = 0; i < 2 && size > 0; ++i, ++data, --size)
        value |= uint16_t(*data) << (8 * i);
    return value;
}

void drain(int16_t client) {
    static char buffer[2048];
    // A quiet device queues at most what the input sent, but a broken queue
    // must not keep the fuzzer here forever.
    for (int i = 0; i < 10000; ++i) {
        const int16_t result = RP1210_ReadMessage(client, buffer, sizeof buffer, NON_BLOCKING_IO);
        if (result == 0 || result == -ERR_INVALID_CLIENT_ID)
            return;
        if (result > int(sizeof buffer))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxInput)
        return 0;
    const Clients& c = clients();
    while (size > 0) {
        const uint8_t op = *data++;
        --size;
        const int16_t client = c.ids[(op >> 1) & 3];
        const auto number = static_cast<int16_t>(take16(data, size));
        const auto length = static_cast<int16_t>(take16(data, size));
        const size_t available = length > 0 ? std::min<size_t>(size_t(length), size) : 0;
        // Exactly the bytes the call may read, on the heap, so a read past
        // them is caught.
        std::vector<char> bytes(data, data + available);
        data += available;
        size -= available;
        char* buffer = (op & 8) ? nullptr : bytes.data();
        const auto passedLength = length > 0 ? static_cast<int16_t>(available) : length;
        int16_t result;
        if (op & 1) {
            // Mode byte of an address claim: never anything that could wait.
            if (number == RP1210_Protect_J1939_Address && bytes.size() >= 10)
                bytes[9] = RETURN_BEFORE_COMPLETION;
            result = RP1210_SendCommand(number, client, buffer, passedLength);
        } else {
            result = RP1210_SendMessage(client, buffer, passedLength, 0, NON_BLOCKING_IO);
        }
        if (result != 0 && (result < 128 || result > 157))
            std::abort();
        for (int16_t id : c.ids)
            drain(id);
    }
    // Leave the clients as they started: filters closed and echo off would
    // keep later inputs from reaching the read path, so open them again.
    for (int16_t id : c.ids) {
        RP1210_SendCommand(RP1210_Set_All_Filters_States_to_Pass, id, nullptr, 0);
        char on = 1;
        RP1210_SendCommand(RP1210_Set_Message_Receive, id, &on, 1);
        drain(id);
    }
    return 0;
}
