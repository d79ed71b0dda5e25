#include "decode/dbc.h"

#include "decode/j1939_id.h"
#include "decode/signal_decode.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <unordered_map>

namespace decode {

std::string_view SignalDef::valueText(int64_t raw) const {
    auto it = std::lower_bound(valueTable.begin(), valueTable.end(), raw,
                               [](const ValueDescription& d, int64_t v) { return d.value < v; });
    if (it == valueTable.end() || it->value != raw)
        return {};
    return it->text;
}

std::string DbcError::message() const {
    if (line <= 0)
        return file + ": expected " + expected;
    return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": expected " + expected;
}

namespace {

// The identifier DBC editors give the pseudo message that holds signalDefs not
// yet placed in any message; it is no frame on the bus.
constexpr uint32_t kIndependentSignalsId = 0xC0000000;
constexpr uint32_t kExtendedFlag = 0x80000000;
// The longest message a DBC may describe: a J1939 transport-protocol one.
constexpr uint32_t kMaxDlc = 1785;

struct ParseFailure {
    std::size_t pos;
    std::string expected;
};

struct AttributeValue {
    bool isString = false;
    double number = 0;
    std::string text;
};

enum class AttributeTarget { Network, Node, Message, Signal, Other };

struct AttributeAssignment {
    std::string name;
    AttributeTarget target = AttributeTarget::Network;
    uint32_t messageId = 0;
    std::string signalName;
    AttributeValue value;
};

bool isUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || text.size() - i < length)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

struct SignalKey {
    std::size_t message;
    std::string_view name; // points into the text being read
    bool operator==(const SignalKey&) const = default;
};

struct SignalKeyHash {
    std::size_t operator()(const SignalKey& key) const {
        return std::hash<std::string_view>{}(key.name) ^ (key.message * 0x9E3779B97F4A7C15ull);
    }
};

// The reader proper. Every method either advances over what it expects or
// throws ParseFailure with the position and what was expected there; the
// top-level function turns that into a DbcError with line and column.
class Reader {
public:
    Reader(std::string_view text) : text_(text) {}

    DbcFile read();

private:
    // --- characters -------------------------------------------------------
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }

    [[noreturn]] void fail(std::string expected) const { throw ParseFailure{pos_, std::move(expected)}; }
    [[noreturn]] void failAt(std::size_t pos, std::string expected) const {
        throw ParseFailure{pos, std::move(expected)};
    }

    void skipSpace() {
        while (!atEnd()) {
            const char c = text_[pos_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
                ++pos_;
            } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/') {
                skipLine();
            } else {
                break;
            }
        }
    }
    // Blanks within the current line only.
    void skipBlanks() {
        while (!atEnd() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r'))
            ++pos_;
    }
    void skipLine() {
        const auto nl = text_.find('\n', pos_);
        pos_ = nl == std::string_view::npos ? text_.size() : nl + 1;
    }

    static bool isIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
    static bool isIdentChar(char c) { return isIdentStart(c) || (c >= '0' && c <= '9'); }

    // Texts of a file that is not UTF-8 are read as Latin-1, the usual
    // encoding of DBC editors on Windows ("\xB0C" for degrees Celsius).
    void appendText(std::string& out, std::string_view piece) const {
        if (utf8_) {
            out.append(piece);
            return;
        }
        for (char c : piece) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x80) {
                out += c;
            } else {
                out += static_cast<char>(0xC0 | (byte >> 6));
                out += static_cast<char>(0x80 | (byte & 0x3F));
            }
        }
    }

    bool peekIdentifier() {
        skipSpace();
        return isIdentStart(peek());
    }
    bool tryChar(char c) {
        skipSpace();
        if (peek() != c)
            return false;
        ++pos_;
        return true;
    }
    void expectChar(char c, const char* what) {
        if (!tryChar(c))
            fail(what);
    }

    std::string_view identifier(const char* what) {
        skipSpace();
        if (!isIdentStart(peek()))
            fail(what);
        const std::size_t start = pos_;
        while (!atEnd() && isIdentChar(text_[pos_]))
            ++pos_;
        return text_.substr(start, pos_ - start);
    }

    std::string quoted(const char* what) {
        skipSpace();
        if (peek() != '"')
            fail(what);
        const std::size_t open = pos_++;
        std::string out;
        while (true) {
            const auto stop = text_.find_first_of("\"\\", pos_);
            if (stop == std::string_view::npos)
                failAt(open, "a closing '\"' for the text opened here");
            appendText(out, text_.substr(pos_, stop - pos_));
            pos_ = stop + 1;
            if (text_[stop] == '"')
                return out;
            // \" and \\ stand for the character; other backslashes are text.
            if (pos_ < text_.size() && (text_[pos_] == '"' || text_[pos_] == '\\'))
                out += text_[pos_++];
            else
                out += '\\';
        }
    }

    template <typename T> T integer(const char* what) {
        skipSpace();
        T value{};
        const char* first = text_.data() + pos_;
        const char* last = text_.data() + text_.size();
        if (first < last && *first == '+')
            ++first;
        auto [end, ec] = std::from_chars(first, last, value);
        if (ec != std::errc{} || (end < last && (isIdentChar(*end) || *end == '.')))
            fail(what);
        pos_ = static_cast<std::size_t>(end - text_.data());
        return value;
    }

    // Signed or, for values past int64, unsigned as two's complement (the
    // raw values of a 64-bit signal's value table).
    int64_t tableValue() {
        skipSpace();
        const std::size_t start = pos_;
        if (peek() != '-') {
            const auto big = integer<uint64_t>("an integer value");
            return static_cast<int64_t>(big);
        }
        pos_ = start;
        return integer<int64_t>("an integer value");
    }

    double number(const char* what) {
        skipSpace();
        double value = 0;
        const char* first = text_.data() + pos_;
        const char* last = text_.data() + text_.size();
        if (first < last && *first == '+')
            ++first;
        // Letters right after a number would make from_chars accept "inf" or
        // "nan"; only digits, a point, a sign and an exponent belong here.
        if (first == last ||
            !(std::isdigit(static_cast<unsigned char>(*first)) || *first == '-' || *first == '.'))
            fail(what);
        auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
        if (ec != std::errc{} || !std::isfinite(value) || (end < last && isIdentChar(*end)))
            fail(what);
        pos_ = static_cast<std::size_t>(end - text_.data());
        return value;
    }

    void skipStatement(std::string_view keyword) {
        const std::size_t start = pos_;
        while (true) {
            const auto stop = text_.find_first_of("\";", pos_);
            if (stop == std::string_view::npos)
                failAt(start, "';' ending the " + std::string(keyword) + " statement");
            pos_ = stop;
            if (text_[stop] == ';') {
                ++pos_;
                return;
            }
            quoted("text");
        }
    }

    // --- sections -----------------------------------------------------------
    void readNewSymbols();
    void readNodes();
    void readMessage();
    void readSignal();
    void readComment();
    void readAttributeDefinition();
    void readAttributeDefault();
    void readAttribute();
    void readValueTable();
    void readValueDescriptions();
    std::vector<ValueDescription> valueList();
    AttributeValue attributeValue();
    void applyAttributes();
    MessageDef* messageById(uint32_t rawId);
    SignalDef* signalOf(uint32_t rawId, std::string_view name);

    std::string_view text_;
    std::size_t pos_ = 0;
    bool utf8_ = true;
    DbcFile file_;
    std::unordered_map<uint32_t, std::size_t> messageIndex_; // raw BO_ id -> messages
    // (message, signal name) -> signals, so that neither a message of many
    // signals nor many references to them make reading quadratic.
    std::unordered_map<SignalKey, std::size_t, SignalKeyHash> signalIndex_;
    MessageDef* current_ = nullptr; // the BO_ that SG_ lines belong to
    MessageDef ignored_;            // sink for the independent-signalDefs message
    std::unordered_map<std::string, std::vector<ValueDescription>> valueTables_;
    std::unordered_map<std::string, std::vector<std::string>> enumValues_;
    std::unordered_map<std::string, AttributeValue> defaults_;
    std::vector<AttributeAssignment> assignments_;
    std::vector<std::pair<std::size_t, std::size_t>> multiplexedAt_; // (message, position) of m<n> signalDefs
};

DbcFile Reader::read() {
    utf8_ = isUtf8(text_);
    if (text_.substr(0, 3) == "\xEF\xBB\xBF")
        pos_ = 3;
    while (true) {
        skipSpace();
        if (atEnd())
            break;
        const std::size_t keywordPos = pos_;
        if (!isIdentStart(peek()))
            fail("a section keyword (VERSION, BU_, BO_, SG_, CM_, BA_DEF_, BA_, VAL_ ...)");
        const std::string_view keyword = identifier("a section keyword");
        if (keyword == "BO_") {
            readMessage();
        } else if (keyword == "SG_") {
            readSignal();
        } else if (keyword == "VERSION") {
            quoted("the version text in quotes");
        } else if (keyword == "NS_") {
            readNewSymbols();
        } else if (keyword == "BS_") {
            skipLine();
        } else if (keyword == "BU_") {
            readNodes();
        } else if (keyword == "CM_") {
            readComment();
        } else if (keyword == "BA_DEF_") {
            readAttributeDefinition();
        } else if (keyword == "BA_DEF_DEF_") {
            readAttributeDefault();
        } else if (keyword == "BA_") {
            readAttribute();
        } else if (keyword == "VAL_TABLE_") {
            readValueTable();
        } else if (keyword == "VAL_") {
            readValueDescriptions();
        } else if (keyword == "EV_" || keyword == "ENVVAR_DATA_" || keyword == "SGTYPE_" ||
                   keyword == "SGTYPE_VAL_" || keyword == "SIG_VALTYPE_" || keyword == "SIG_TYPE_REF_" ||
                   keyword == "BO_TX_BU_" || keyword == "SIG_GROUP_" || keyword == "SG_MUL_VAL_" ||
                   keyword == "CAT_DEF_" || keyword == "CAT_" || keyword == "FILTER" ||
                   keyword == "EV_DATA_" || keyword == "BA_DEF_SGTYPE_" || keyword == "BA_SGTYPE_" ||
                   keyword == "BA_DEF_REL_" || keyword == "BA_DEF_DEF_REL_" || keyword == "BA_REL_" ||
                   keyword == "BU_SG_REL_" || keyword == "BU_EV_REL_" || keyword == "BU_BO_REL_" ||
                   keyword == "NS_DESC_") {
            skipStatement(keyword);
        } else {
            failAt(keywordPos,
                   "a section keyword (VERSION, BU_, BO_, SG_, CM_, BA_DEF_, BA_, VAL_ ...) instead of '" +
                       std::string(keyword.substr(0, 40)) + "'");
        }
    }
    for (auto [message, at] : multiplexedAt_) {
        if (!file_.messages[message].multiplexor())
            failAt(at, "a multiplexor signal (M) in the message of this multiplexed signal");
    }
    applyAttributes();
    return std::move(file_);
}

// NS_ : lists the symbols the file may use, one per indented line.
void Reader::readNewSymbols() {
    expectChar(':', "':' after NS_");
    skipLine();
    while (!atEnd()) {
        const char c = peek();
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            skipLine();
        else
            break;
    }
}

void Reader::readNodes() {
    expectChar(':', "':' after BU_");
    while (true) {
        skipBlanks();
        if (!isIdentStart(peek()))
            break;
        file_.nodes.emplace_back(identifier("a node name"));
    }
}

void Reader::readMessage() {
    const uint32_t rawId = integer<uint32_t>("a message identifier");
    const std::string_view name = identifier("a message name");
    expectChar(':', "':' after the message name");
    const std::size_t dlcPos = (skipSpace(), pos_);
    const uint32_t dlc = integer<uint32_t>("the message length in bytes");
    if (dlc > kMaxDlc)
        failAt(dlcPos, "a message length of at most 1785 bytes");
    const std::string_view sender = identifier("the sending node's name");

    if (rawId == kIndependentSignalsId) {
        ignored_ = MessageDef{};
        current_ = &ignored_;
        return;
    }
    MessageDef m;
    m.extended = rawId & kExtendedFlag;
    m.id = m.extended ? rawId & 0x1FFFFFFF : rawId;
    if (!m.extended && m.id > 0x7FF)
        failAt(dlcPos, "an 11-bit identifier, or bit 31 set for a 29-bit one");
    m.name = name;
    m.dlc = dlc;
    m.sender = sender;
    if (!messageIndex_.emplace(rawId, file_.messages.size()).second)
        fail("a message identifier not defined before in this file");
    file_.messages.push_back(std::move(m));
    current_ = &file_.messages.back();
}

void Reader::readSignal() {
    skipSpace();
    const std::size_t signalPos = pos_;
    if (!current_)
        fail("a BO_ message before its SG_ signals");
    SignalDef s;
    const std::string_view nameInText = identifier("a signal name");
    s.name = nameInText;
    skipBlanks();
    if (isIdentStart(peek())) {
        const std::size_t muxPos = pos_;
        const std::string_view mux = identifier("a multiplexer indicator");
        if (mux == "M") {
            s.multiplex = MultiplexRole::Multiplexor;
        } else if (mux.size() >= 2 && mux[0] == 'm') {
            // m<n>, or m<n>M of extended multiplexing: selected by n.
            std::string_view digits = mux.substr(1);
            if (digits.back() == 'M')
                digits.remove_suffix(1);
            auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), s.multiplexValue);
            if (digits.empty() || ec != std::errc{} || end != digits.data() + digits.size())
                failAt(muxPos, "a multiplexer indicator M or m<n>");
            s.multiplex = MultiplexRole::Multiplexed;
        } else {
            failAt(muxPos, "a multiplexer indicator M or m<n>");
        }
    }
    expectChar(':', "':' after the signal name");
    skipSpace();
    const std::size_t layoutPos = pos_;
    const uint32_t startBit = integer<uint32_t>("the signal's start bit");
    expectChar('|', "'|' after the start bit");
    const uint32_t length = integer<uint32_t>("the signal's length in bits");
    if (length == 0 || length > 64)
        failAt(layoutPos, "a signal length of 1 to 64 bits");
    if (startBit >= kMaxDlc * 8)
        failAt(layoutPos, "a start bit within the message");
    s.startBit = static_cast<uint16_t>(startBit);
    s.length = static_cast<uint16_t>(length);
    expectChar('@', "'@' before the byte order");
    if (peek() != '0' && peek() != '1')
        fail("byte order 0 (Motorola) or 1 (Intel) after '@'");
    s.littleEndian = text_[pos_++] == '1';
    if (peek() != '+' && peek() != '-')
        fail("'+' (unsigned) or '-' (signed) after the byte order");
    s.isSigned = text_[pos_++] == '-';
    expectChar('(', "'(' before the factor");
    s.factor = number("the factor");
    expectChar(',', "',' between factor and offset");
    s.offset = number("the offset");
    expectChar(')', "')' after the offset");
    expectChar('[', "'[' before the minimum");
    s.minimum = number("the minimum");
    expectChar('|', "'|' between minimum and maximum");
    s.maximum = number("the maximum");
    expectChar(']', "']' after the maximum");
    s.unit = quoted("the unit in quotes");
    while (true) {
        skipBlanks();
        if (!isIdentStart(peek()))
            break;
        s.receivers.emplace_back(identifier("a receiving node"));
        skipBlanks();
        if (peek() != ',')
            break;
        ++pos_;
    }
    if (current_ == &ignored_)
        return;
    if (!fitsIn(s, current_->dlc))
        failAt(layoutPos, "a signal within its message's " + std::to_string(current_->dlc) + " bytes");
    const std::size_t messageAt = static_cast<std::size_t>(current_ - file_.messages.data());
    if (!signalIndex_.emplace(SignalKey{messageAt, nameInText}, current_->signalDefs.size()).second)
        failAt(signalPos, "a signal name not used before in this message");
    if (s.isMultiplexor()) {
        if (current_->multiplexor())
            failAt(signalPos, "one multiplexor signal (M) per message");
        current_->multiplexorIndex = static_cast<int>(current_->signalDefs.size());
    } else if (s.isMultiplexed()) {
        multiplexedAt_.emplace_back(messageAt, signalPos);
    }
    current_->signalDefs.push_back(std::move(s));
}

MessageDef* Reader::messageById(uint32_t rawId) {
    auto it = messageIndex_.find(rawId);
    return it == messageIndex_.end() ? nullptr : &file_.messages[it->second];
}

SignalDef* Reader::signalOf(uint32_t rawId, std::string_view name) {
    auto message = messageIndex_.find(rawId);
    if (message == messageIndex_.end())
        return nullptr;
    auto it = signalIndex_.find(SignalKey{message->second, name});
    return it == signalIndex_.end() ? nullptr : &file_.messages[message->second].signalDefs[it->second];
}

void Reader::readComment() {
    // Comments on things this file does not define are dropped, as are
    // those on nodes, environment variables and the network.
    std::string* target = nullptr;
    if (peekIdentifier()) {
        const std::string_view kind = identifier("BU_, BO_, SG_ or EV_");
        if (kind == "BO_") {
            MessageDef* m = messageById(integer<uint32_t>("a message identifier"));
            target = m ? &m->comment : nullptr;
        } else if (kind == "SG_") {
            const uint32_t id = integer<uint32_t>("a message identifier");
            SignalDef* s = signalOf(id, identifier("a signal name"));
            target = s ? &s->comment : nullptr;
        } else if (kind == "BU_" || kind == "EV_") {
            identifier("a name");
        } else {
            fail("BU_, BO_, SG_ or EV_ after CM_");
        }
    }
    std::string text = quoted("the comment in quotes");
    if (target)
        *target = std::move(text);
    expectChar(';', "';' after the comment");
}

AttributeValue Reader::attributeValue() {
    skipSpace();
    AttributeValue v;
    if (peek() == '"') {
        v.isString = true;
        v.text = quoted("an attribute value");
    } else {
        v.number = number("an attribute value");
    }
    return v;
}

void Reader::readAttributeDefinition() {
    if (peekIdentifier())
        identifier("an object type"); // BU_, BO_, SG_ or EV_
    std::string name = quoted("the attribute name in quotes");
    const std::string_view type = identifier("an attribute type (INT, HEX, FLOAT, STRING, ENUM)");
    if (type == "ENUM") {
        std::vector<std::string> values;
        skipSpace();
        if (peek() == '"') {
            values.push_back(quoted("an enumeration value"));
            while (tryChar(','))
                values.push_back(quoted("an enumeration value"));
        }
        enumValues_[std::move(name)] = std::move(values);
        expectChar(';', "';' after the enumeration values");
    } else if (type == "INT" || type == "HEX" || type == "FLOAT" || type == "STRING") {
        skipStatement("BA_DEF_");
    } else {
        fail("an attribute type (INT, HEX, FLOAT, STRING, ENUM)");
    }
}

void Reader::readAttributeDefault() {
    std::string name = quoted("the attribute name in quotes");
    defaults_[std::move(name)] = attributeValue();
    expectChar(';', "';' after the default value");
}

void Reader::readAttribute() {
    AttributeAssignment a;
    a.name = quoted("the attribute name in quotes");
    if (peekIdentifier()) {
        const std::string_view kind = identifier("BU_, BO_, SG_ or EV_");
        if (kind == "BO_") {
            a.target = AttributeTarget::Message;
            a.messageId = integer<uint32_t>("a message identifier");
        } else if (kind == "SG_") {
            a.target = AttributeTarget::Signal;
            a.messageId = integer<uint32_t>("a message identifier");
            a.signalName = identifier("a signal name");
        } else if (kind == "BU_" || kind == "EV_") {
            a.target = AttributeTarget::Other;
            identifier("a name");
        } else {
            fail("BU_, BO_, SG_ or EV_ after the attribute name");
        }
    }
    a.value = attributeValue();
    expectChar(';', "';' after the attribute value");
    if (a.name == "VFrameFormat" || a.name == "SPN" || a.name == "GenMsgCycleTime" ||
        a.name == "ProtocolType")
        assignments_.push_back(std::move(a));
}

std::vector<ValueDescription> Reader::valueList() {
    std::vector<ValueDescription> values;
    while (!tryChar(';')) {
        skipSpace();
        if (atEnd())
            fail("';' after the value descriptions");
        ValueDescription d;
        d.value = tableValue();
        d.text = quoted("the value's text in quotes");
        values.push_back(std::move(d));
    }
    // Sorted for lookup; of repeated values the last one counts.
    std::stable_sort(values.begin(), values.end(),
                     [](const ValueDescription& a, const ValueDescription& b) { return a.value < b.value; });
    std::vector<ValueDescription> unique;
    unique.reserve(values.size());
    for (auto& v : values) {
        if (!unique.empty() && unique.back().value == v.value)
            unique.back() = std::move(v);
        else
            unique.push_back(std::move(v));
    }
    return unique;
}

void Reader::readValueTable() {
    std::string name(identifier("a value table name"));
    valueTables_[std::move(name)] = valueList();
}

void Reader::readValueDescriptions() {
    skipSpace();
    if (isIdentStart(peek())) { // an environment variable's values
        skipStatement("VAL_");
        return;
    }
    const uint32_t id = integer<uint32_t>("a message identifier");
    const std::string_view signalName = identifier("a signal name");
    SignalDef* s = signalOf(id, signalName);
    std::vector<ValueDescription> values;
    if (peekIdentifier()) { // the name of a VAL_TABLE_
        const std::size_t at = pos_;
        auto it = valueTables_.find(std::string(identifier("a value table name")));
        if (it == valueTables_.end())
            failAt(at, "the name of a value table defined before");
        values = it->second;
        expectChar(';', "';' after the value table name");
    } else {
        values = valueList();
    }
    if (s)
        s->valueTable = std::move(values);
}

void Reader::applyAttributes() {
    // Defaults first, then the values given per message and signal.
    auto frameFormatIsJ1939 = [this](const AttributeValue& v) {
        if (v.isString)
            return v.text == "J1939PG";
        // An index past any enum (or not a number at all) names no format;
        // converting it unchecked would be undefined.
        if (!(v.number >= 0 && v.number < 65536))
            return false;
        auto it = enumValues_.find("VFrameFormat");
        const auto index = static_cast<long long>(v.number);
        if (it == enumValues_.end())
            return index == 3; // the customary position of J1939PG
        return index >= 0 && static_cast<std::size_t>(index) < it->second.size() &&
               it->second[static_cast<std::size_t>(index)] == "J1939PG";
    };
    bool j1939Database = false;
    std::optional<bool> defaultJ1939;
    uint32_t defaultCycle = 0;
    if (auto it = defaults_.find("VFrameFormat"); it != defaults_.end())
        defaultJ1939 = frameFormatIsJ1939(it->second);
    if (auto it = defaults_.find("GenMsgCycleTime");
        it != defaults_.end() && !it->second.isString && it->second.number > 0 && it->second.number < 4.0e9)
        defaultCycle = static_cast<uint32_t>(it->second.number);
    if (auto it = defaults_.find("ProtocolType"); it != defaults_.end() && it->second.isString)
        j1939Database = it->second.text == "J1939";
    for (const AttributeAssignment& a : assignments_) {
        if (a.name == "ProtocolType" && a.target == AttributeTarget::Network && a.value.isString)
            j1939Database = a.value.text == "J1939";
    }
    std::vector<std::optional<bool>> frameFormat(file_.messages.size());
    for (MessageDef& m : file_.messages)
        m.cycleTimeMs = defaultCycle;
    for (const AttributeAssignment& a : assignments_) {
        if (a.target == AttributeTarget::Message) {
            MessageDef* m = messageById(a.messageId);
            if (!m)
                continue;
            if (a.name == "VFrameFormat")
                frameFormat[static_cast<std::size_t>(m - file_.messages.data())] =
                    frameFormatIsJ1939(a.value);
            else if (a.name == "GenMsgCycleTime" && !a.value.isString && a.value.number >= 0 &&
                     a.value.number < 4.0e9)
                m->cycleTimeMs = static_cast<uint32_t>(a.value.number);
        } else if (a.target == AttributeTarget::Signal && a.name == "SPN" && !a.value.isString) {
            SignalDef* s = signalOf(a.messageId, a.signalName);
            if (s && a.value.number >= 0 && a.value.number < 0x80000)
                s->spn = static_cast<uint32_t>(a.value.number);
        }
    }
    for (std::size_t i = 0; i < file_.messages.size(); ++i) {
        MessageDef& m = file_.messages[i];
        const bool j1939 = frameFormat[i].value_or(defaultJ1939.value_or(j1939Database));
        m.isJ1939 = m.extended && j1939;
        if (m.isJ1939)
            m.pgn = pgnOfId(m.id);
    }
}

std::pair<int, int> lineAndColumn(std::string_view text, std::size_t pos) {
    pos = std::min(pos, text.size());
    const std::string_view before = text.substr(0, pos);
    const int line = 1 + static_cast<int>(std::count(before.begin(), before.end(), '\n'));
    const auto lineStart = before.rfind('\n');
    const int column = 1 + static_cast<int>(lineStart == std::string_view::npos ? pos : pos - lineStart - 1);
    return {line, column};
}

} // namespace

DbcReadResult readDbc(std::string_view text, std::string fileName) {
    Reader reader(text);
    try {
        DbcFile file = reader.read();
        file.fileName = std::move(fileName);
        return file;
    } catch (const ParseFailure& failure) {
        auto [line, column] = lineAndColumn(text, failure.pos);
        return DbcError{std::move(fileName), line, column, failure.expected};
    }
}

DbcReadResult readDbcFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return DbcError{path.string(), 0, 0, "a readable file"};
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return DbcError{path.string(), 0, 0, "a readable file"};
    return readDbc(text, path.string());
}

} // namespace decode
