#pragma once
// The loaded DBC files, searchable in constant time: J1939 messages by PGN
// (so a message decodes from every source address), plain CAN messages by
// their whole identifier. A later file's message with the same key replaces
// the earlier one.

#include "decode/dbc.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace decode {

class SignalDatabase {
public:
    struct LoadResult {
        std::string fileName;
        std::size_t messageCount = 0;
        // One line per earlier message this file replaced, naming both files.
        std::vector<std::string> replacedNotices;
    };
    struct FileInfo {
        std::string fileName;
        std::size_t messageCount = 0; // messages in the file
        std::size_t activeCount = 0;  // of them, not replaced by a later file
    };

    SignalDatabase();
    ~SignalDatabase();
    SignalDatabase(SignalDatabase&&) noexcept;
    SignalDatabase& operator=(SignalDatabase&&) noexcept;
    SignalDatabase(const SignalDatabase&) = delete;
    SignalDatabase& operator=(const SignalDatabase&) = delete;

    LoadResult add(DbcFile file);
    void clear();
    bool empty() const { return files_.empty(); }

    const MessageDef* findJ1939(uint32_t pgn) const;
    const MessageDef* findCan(uint32_t id, bool extended) const;
    // Extended identifiers by PGN first, then by whole identifier.
    const MessageDef* find(uint32_t canId, bool extended) const;
    // The signal carrying an SPN (its name names a fault's parameter).
    const SignalDef* findSpn(uint32_t spn) const;

    std::vector<FileInfo> files() const;
    std::size_t messageCount() const { return byPgn_.size() + byId_.size(); }

private:
    const DbcFile* fileOf(const MessageDef* message) const;
    static uint64_t canKey(uint32_t id, bool extended) { return (uint64_t{extended} << 32) | id; }

    std::vector<std::unique_ptr<DbcFile>> files_;
    std::unordered_map<uint32_t, const MessageDef*> byPgn_;
    std::unordered_map<uint64_t, const MessageDef*> byId_;
    std::unordered_map<uint32_t, const SignalDef*> bySpn_;
};

} // namespace decode
