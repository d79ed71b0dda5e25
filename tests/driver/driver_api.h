// Loads the driver library by path and resolves its entry points, the way the
// program binds a driver, plus small helpers shared by the driver tests.
#pragma once

#include <algorithm>
#include <rp1210a/rp1210a.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

struct DriverApi {
    void* handle = nullptr;
    RP1210_ClientConnect_Fn connect = nullptr;
    RP1210_ClientDisconnect_Fn disconnect = nullptr;
    RP1210_SendMessage_Fn send = nullptr;
    RP1210_ReadMessage_Fn read = nullptr;
    RP1210_SendCommand_Fn command = nullptr;
    RP1210_ReadVersion_Fn version = nullptr;
    RP1210_GetHardwareStatus_Fn status = nullptr;
    RP1210_GetErrorMsg_Fn errorMsg = nullptr;

    bool load(const std::string& path = TARVIK_DRIVER_PATH) {
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr)
            return false;
        connect = reinterpret_cast<RP1210_ClientConnect_Fn>(dlsym(handle, "RP1210_ClientConnect"));
        disconnect = reinterpret_cast<RP1210_ClientDisconnect_Fn>(dlsym(handle, "RP1210_ClientDisconnect"));
        send = reinterpret_cast<RP1210_SendMessage_Fn>(dlsym(handle, "RP1210_SendMessage"));
        read = reinterpret_cast<RP1210_ReadMessage_Fn>(dlsym(handle, "RP1210_ReadMessage"));
        command = reinterpret_cast<RP1210_SendCommand_Fn>(dlsym(handle, "RP1210_SendCommand"));
        version = reinterpret_cast<RP1210_ReadVersion_Fn>(dlsym(handle, "RP1210_ReadVersion"));
        status = reinterpret_cast<RP1210_GetHardwareStatus_Fn>(dlsym(handle, "RP1210_GetHardwareStatus"));
        errorMsg = reinterpret_cast<RP1210_GetErrorMsg_Fn>(dlsym(handle, "RP1210_GetErrorMsg"));
        return connect && disconnect && send && read && command && version && status && errorMsg;
    }

    void unload() {
        if (handle != nullptr)
            dlclose(handle);
        handle = nullptr;
    }

    // Connects and opens every filter, the way the program readies a client.
    int16_t open(int device, const char* protocol, int32_t rxSize = 0) {
        const int16_t id = connect(nullptr, static_cast<int16_t>(device), protocol, 0, rxSize, 0);
        if (id >= 0 && id < 128)
            command(RP1210_Set_All_Filters_States_to_Pass, id, nullptr, 0);
        return id;
    }

    int16_t cmd(int number, int16_t id, std::vector<uint8_t> bytes) {
        return command(static_cast<int16_t>(number), id, reinterpret_cast<char*>(bytes.data()),
                       static_cast<int16_t>(bytes.size()));
    }

    int16_t sendBytes(int16_t id, const std::vector<uint8_t>& bytes) {
        return send(id, reinterpret_cast<const char*>(bytes.data()), static_cast<int16_t>(bytes.size()), 0,
                    1);
    }

    // One message; an empty vector when nothing waits or on an error (the
    // result is left in *result).
    std::vector<uint8_t> readOne(int16_t id, bool block, int16_t* result = nullptr, int16_t size = 2048) {
        std::vector<uint8_t> buf(static_cast<std::size_t>(size));
        const int16_t n = read(id, reinterpret_cast<char*>(buf.data()), size, block ? 1 : 0);
        if (result != nullptr)
            *result = n;
        buf.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return buf;
    }

    std::vector<uint8_t> statusBytes(int16_t id) {
        std::vector<uint8_t> s(32);
        status(id, reinterpret_cast<char*>(s.data()), 32, 0);
        return s;
    }
};

// The receive buffer without its 4-byte timestamp.
inline std::vector<uint8_t> body(const std::vector<uint8_t>& rx) {
    return rx.size() < 4 ? std::vector<uint8_t>{} : std::vector<uint8_t>(rx.begin() + 4, rx.end());
}

inline uint32_t timestampOf(const std::vector<uint8_t>& rx) {
    return (uint32_t{rx[0]} << 24) | (uint32_t{rx[1]} << 16) | (uint32_t{rx[2]} << 8) | rx[3];
}

inline uint32_t be32(const std::vector<uint8_t>& s, std::size_t at) {
    return (uint32_t{s[at]} << 24) | (uint32_t{s[at + 1]} << 16) | (uint32_t{s[at + 2]} << 8) | s[at + 3];
}

// J1939 transmit buffer: PGN, priority, source, destination, data.
inline std::vector<uint8_t> j1939Tx(uint32_t pgn, uint8_t priority, uint8_t source, uint8_t destination,
                                    std::vector<uint8_t> data = {}) {
    // Sized first and filled: gcc 12 warns wrongly about insert() after a
    // brace-initialised vector.
    std::vector<uint8_t> b(6 + data.size());
    b[0] = static_cast<uint8_t>(pgn);
    b[1] = static_cast<uint8_t>(pgn >> 8);
    b[2] = static_cast<uint8_t>(pgn >> 16);
    b[3] = priority;
    b[4] = source;
    b[5] = destination;
    std::copy(data.begin(), data.end(), b.begin() + 6);
    return b;
}

inline uint32_t rxPgn(const std::vector<uint8_t>& rx) {
    return rx[4] | (uint32_t{rx[5]} << 8) | (uint32_t{rx[6]} << 16);
}

// A private copy of the library, optionally with an ini file beside it, so a
// test gets a fresh instance with its own folder.
struct LibraryCopy {
    std::filesystem::path dir;
    std::string path;

    explicit LibraryCopy(const std::string& tag, const std::string* ini = nullptr) {
        dir = std::filesystem::temp_directory_path() /
              ("tarvik-driver-" + tag + "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        path = (dir / "libZT121032.so").string();
        std::filesystem::copy_file(TARVIK_DRIVER_PATH, path);
        if (ini != nullptr)
            std::ofstream(dir / "ZT121032.ini") << *ini;
    }
    ~LibraryCopy() { std::filesystem::remove_all(dir); }
};
