#include "decode/signal_database.h"

#include "decode/j1939_id.h"

#include <cstdio>

namespace decode {

namespace {

std::string describeKey(const MessageDef& m) {
    char buf[48];
    if (m.isJ1939)
        std::snprintf(buf, sizeof buf, "PGN %u", m.pgn);
    else
        std::snprintf(buf, sizeof buf, m.extended ? "identifier %08X" : "identifier %03X", m.id);
    return buf;
}

} // namespace

SignalDatabase::SignalDatabase() = default;
SignalDatabase::~SignalDatabase() = default;
SignalDatabase::SignalDatabase(SignalDatabase&&) noexcept = default;
SignalDatabase& SignalDatabase::operator=(SignalDatabase&&) noexcept = default;

SignalDatabase::LoadResult SignalDatabase::add(DbcFile file) {
    // Files are kept whole and never move, so the indexes can point into them.
    files_.push_back(std::make_unique<DbcFile>(std::move(file)));
    const DbcFile& added = *files_.back();
    LoadResult result;
    result.fileName = added.fileName;
    result.messageCount = added.messages.size();
    for (const MessageDef& m : added.messages) {
        const MessageDef*& slot = m.isJ1939 ? byPgn_[m.pgn] : byId_[canKey(m.id, m.extended)];
        if (slot) {
            const DbcFile* owner = fileOf(slot);
            result.replacedNotices.push_back(describeKey(m) + ": " + m.name + " from " + added.fileName +
                                             " replaces " + slot->name + " from " +
                                             (owner ? owner->fileName : std::string("an earlier file")));
            for (const SignalDef& s : slot->signalDefs) {
                if (s.spn != 0) {
                    auto it = bySpn_.find(s.spn);
                    if (it != bySpn_.end() && it->second == &s)
                        bySpn_.erase(it);
                }
            }
        }
        slot = &m;
        for (const SignalDef& s : m.signalDefs) {
            if (s.spn != 0)
                bySpn_[s.spn] = &s;
        }
    }
    return result;
}

const DbcFile* SignalDatabase::fileOf(const MessageDef* message) const {
    for (const auto& f : files_) {
        if (!f->messages.empty() && message >= f->messages.data() &&
            message < f->messages.data() + f->messages.size())
            return f.get();
    }
    return nullptr;
}

void SignalDatabase::clear() {
    files_.clear();
    byPgn_.clear();
    byId_.clear();
    bySpn_.clear();
}

const MessageDef* SignalDatabase::findJ1939(uint32_t pgn) const {
    auto it = byPgn_.find(pgn);
    return it == byPgn_.end() ? nullptr : it->second;
}

const MessageDef* SignalDatabase::findCan(uint32_t id, bool extended) const {
    auto it = byId_.find(canKey(id, extended));
    return it == byId_.end() ? nullptr : it->second;
}

const MessageDef* SignalDatabase::find(uint32_t canId, bool extended) const {
    if (extended && !byPgn_.empty()) {
        if (const MessageDef* m = findJ1939(pgnOfId(canId)))
            return m;
    }
    return findCan(canId, extended);
}

const SignalDef* SignalDatabase::findSpn(uint32_t spn) const {
    auto it = bySpn_.find(spn);
    return it == bySpn_.end() ? nullptr : it->second;
}

std::vector<SignalDatabase::FileInfo> SignalDatabase::files() const {
    std::vector<FileInfo> infos;
    infos.reserve(files_.size());
    for (const auto& f : files_) {
        FileInfo info{f->fileName, f->messages.size(), 0};
        for (const MessageDef& m : f->messages) {
            const MessageDef* active = m.isJ1939 ? findJ1939(m.pgn) : findCan(m.id, m.extended);
            if (active == &m)
                ++info.activeCount;
        }
        infos.push_back(std::move(info));
    }
    return infos;
}

} // namespace decode
