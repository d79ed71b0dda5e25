#pragma once
// A CAN signal database read from a DBC file: messages with their signals,
// value tables, comments and the attributes J1939 uses (VFrameFormat, SPN,
// GenMsgCycleTime). Plain C++ so the reader can be fuzzed.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace decode {

// One raw value with its text, from VAL_ or a VAL_TABLE_ the signal uses.
struct ValueDescription {
    int64_t value = 0;
    std::string text;
};

enum class MultiplexRole : uint8_t { None, Multiplexor, Multiplexed };

struct SignalDef {
    std::string name;
    uint16_t startBit = 0;    // as written: Motorola start bits count in the sawtooth order
    uint16_t length = 1;      // 1..64
    bool littleEndian = true; // Intel (@1)
    bool isSigned = false;
    double factor = 1.0;
    double offset = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
    std::string unit;
    std::vector<std::string> receivers;
    MultiplexRole multiplex = MultiplexRole::None;
    uint32_t multiplexValue = 0; // for MultiplexRole::Multiplexed
    uint32_t spn = 0;            // 0: none
    std::string comment;
    std::vector<ValueDescription> valueTable; // sorted by value

    bool isMultiplexor() const { return multiplex == MultiplexRole::Multiplexor; }
    bool isMultiplexed() const { return multiplex == MultiplexRole::Multiplexed; }
    // The value table's text for a raw value, empty when there is none.
    std::string_view valueText(int64_t raw) const;
};

struct MessageDef {
    uint32_t id = 0;       // without the extended-frame bit 31
    bool extended = false; // bit 31 of the BO_ identifier
    bool isJ1939 = false;  // VFrameFormat J1939PG, or an extended frame of a J1939 database
    uint32_t pgn = 0;      // for isJ1939
    std::string name;
    uint32_t dlc = 0;
    std::string sender;
    uint32_t cycleTimeMs = 0; // GenMsgCycleTime, 0: not given
    std::string comment;
    // Not "signals": Qt defines that word as a macro.
    std::vector<SignalDef> signalDefs;
    int multiplexorIndex = -1; // index into signalDefs of the M signal

    const SignalDef* multiplexor() const {
        return multiplexorIndex < 0 ? nullptr : &signalDefs[static_cast<size_t>(multiplexorIndex)];
    }
};

struct DbcFile {
    std::string fileName;
    std::vector<std::string> nodes; // BU_
    std::vector<MessageDef> messages;
};

struct DbcError {
    std::string file;
    int line = 0;   // 1-based
    int column = 0; // 1-based
    std::string expected;
    // "<file>:<line>:<column>: expected <what>"
    std::string message() const;
};

using DbcReadResult = std::variant<DbcFile, DbcError>;

// Reads a whole DBC text; on any error nothing of it is returned.
DbcReadResult readDbc(std::string_view text, std::string fileName);
// Reads the file at path; the error names the file by its path.
DbcReadResult readDbcFile(const std::filesystem::path& path);

} // namespace decode
