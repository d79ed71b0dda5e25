#include "decode/signal_database.h"

namespace decode {

SignalDatabase::SignalDatabase() = default;
SignalDatabase::~SignalDatabase() = default;
SignalDatabase::SignalDatabase(SignalDatabase&&) noexcept = default;
SignalDatabase& SignalDatabase::operator=(SignalDatabase&&) noexcept = default;

SignalDatabase::LoadResult SignalDatabase::add(DbcFile file) {
    LoadResult result;
    result.fileName = file.fileName;
    result.messageCount = file.messages.size();
    return result;
}

void SignalDatabase::clear() {
    files_.clear();
    byPgn_.clear();
    byId_.clear();
    bySpn_.clear();
}

const MessageDef* SignalDatabase::findJ1939(uint32_t) const {
    return nullptr;
}
const MessageDef* SignalDatabase::findCan(uint32_t, bool) const {
    return nullptr;
}
const MessageDef* SignalDatabase::find(uint32_t, bool) const {
    return nullptr;
}
const SignalDef* SignalDatabase::findSpn(uint32_t) const {
    return nullptr;
}
std::vector<SignalDatabase::FileInfo> SignalDatabase::files() const {
    return {};
}

} // namespace decode
