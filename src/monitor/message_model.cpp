#include "monitor/message_model.h"

namespace monitor {

namespace {
constexpr int64_t kChangeMarkUs = 1'000'000;
constexpr int kShownBytes = 64;
constexpr quintptr kMessageRowId = 0; // internal id of message rows; signal rows carry parent row + 1

QString addressText(uint8_t address) {
    return QStringLiteral("0x%1 (%2)")
        .arg(address, 2, 16, QLatin1Char('0'))
        .arg(address)
        .toUpper()
        .replace(QLatin1String("0X"), QLatin1String("0x"));
}

QString identifierText(const MessageKey& key) {
    if (key.protocol == BusProtocol::J1708)
        return QString::number(key.id);
    return QStringLiteral("%1 (%2)")
        .arg(QString::number(key.id, 16).toUpper().rightJustified(4, QLatin1Char('0')))
        .arg(key.id);
}

// PDU1 PGNs (PF below 240) are sent to one address; PDU2 ones to all.
bool isPdu1(uint32_t pgn) {
    return ((pgn >> 8) & 0xFF) < 240;
}

QString millisecondsText(double ms) {
    return QString::number(ms, 'f', ms < 10 ? 2 : 1) + QStringLiteral(" ms");
}
} // namespace

MessageModel::MessageModel(const MessageDecoder& decoder, QObject* parent)
    : QAbstractItemModel(parent), decoder_(decoder) {}

QString MessageModel::hexBytes(const std::vector<uint8_t>& data, int limit) {
    static const char digits[] = "0123456789ABCDEF";
    const int shown = std::min<int>(int(data.size()), limit);
    QString text;
    text.reserve(shown * 3 + 16);
    for (int i = 0; i < shown; ++i) {
        if (i)
            text += QLatin1Char(' ');
        text += QLatin1Char(digits[data[std::size_t(i)] >> 4]);
        text += QLatin1Char(digits[data[std::size_t(i)] & 0xF]);
    }
    if (int(data.size()) > shown)
        text += QStringLiteral(" ... (%1 bytes)").arg(data.size());
    return text;
}

void MessageModel::describe(Row& row) const {
    const MessageKey& key = row.snapshot.key;
    row.name = decoder_.messageName(key);
    const QStringList signalNames = decoder_.signalNames(key);
    row.hasSignals = decoder_.hasSignals(key);
    QStringList parts{identifierText(key), row.name, signalNames.join(QLatin1Char(' '))};
    if (key.protocol == BusProtocol::J1939)
        parts << addressText(key.source) << QStringLiteral("pgn %1").arg(key.id);
    else
        parts << QStringLiteral("mid %1").arg(key.id);
    row.searchText = parts.join(QLatin1Char(' ')).toLower();
}

void MessageModel::apply(std::vector<MessageSnapshot>& changed) {
    if (changed.empty())
        return;
    int firstUpdated = int(rows_.size());
    int lastUpdated = -1;
    std::vector<MessageSnapshot*> added;
    for (MessageSnapshot& snapshot : changed) {
        auto found = rowOfKey_.find(snapshot.key);
        if (found == rowOfKey_.end()) {
            added.push_back(&snapshot);
            continue;
        }
        const int at = found->second;
        rows_[std::size_t(at)].snapshot = std::move(snapshot);
        updateSignals(at);
        firstUpdated = std::min(firstUpdated, at);
        lastUpdated = std::max(lastUpdated, at);
    }
    // A row's protocol, identifier, name and source never change, so a view
    // sorted by one of them is not re-sorted at every refresh.
    if (lastUpdated >= 0)
        emit dataChanged(index(firstUpdated, Destination), index(lastUpdated, ColumnCount - 1));
    if (!added.empty()) {
        const int first = int(rows_.size());
        beginInsertRows({}, first, first + int(added.size()) - 1);
        for (MessageSnapshot* snapshot : added) {
            Row& row = rows_.emplace_back();
            row.snapshot = std::move(*snapshot);
            describe(row);
            rowOfKey_.emplace(row.snapshot.key, int(rows_.size()) - 1);
        }
        endInsertRows();
    }
    changed.clear();
}

void MessageModel::updateSignals(int at) {
    Row& row = rows_[std::size_t(at)];
    if (!row.signalCache)
        return; // never shown: decoded when first asked for
    const int before = int(row.signalCache->size());
    std::vector<SignalRow> fresh;
    decoder_.decode(row.snapshot.key, row.snapshot.data, fresh);
    const int after = int(fresh.size());
    const QModelIndex parentIndex = index(at, 0);
    if (after < before) {
        beginRemoveRows(parentIndex, after, before - 1);
        row.signalCache->resize(std::size_t(after));
        endRemoveRows();
    } else if (after > before) {
        beginInsertRows(parentIndex, before, after - 1);
        row.signalCache->resize(std::size_t(after));
        endInsertRows();
    }
    *row.signalCache = std::move(fresh);
    if (after > 0)
        emit dataChanged(index(0, 0, parentIndex), index(after - 1, ColumnCount - 1, parentIndex));
}

void MessageModel::setNow(int64_t nowUs) {
    nowUs_ = nowUs;
    if (!rows_.empty())
        emit dataChanged(index(0, Age), index(int(rows_.size()) - 1, Data));
}

void MessageModel::clear() {
    beginResetModel();
    rows_.clear();
    rowOfKey_.clear();
    endResetModel();
}

void MessageModel::redecode() {
    beginResetModel();
    for (Row& row : rows_) {
        describe(row);
        row.signalCache.reset();
    }
    endResetModel();
}

int MessageModel::messageRowOf(const MessageKey& key) const {
    auto found = rowOfKey_.find(key);
    return found == rowOfKey_.end() ? -1 : found->second;
}

const std::vector<SignalRow>& MessageModel::signalsAt(int at) const {
    const Row& row = rows_[std::size_t(at)];
    if (!row.signalCache) {
        row.signalCache.emplace();
        if (row.hasSignals)
            decoder_.decode(row.snapshot.key, row.snapshot.data, *row.signalCache);
    }
    return *row.signalCache;
}

QList<int> MessageModel::changedBytes(int at) const {
    QList<int> changed;
    const MessageSnapshot& snapshot = rows_[std::size_t(at)].snapshot;
    for (std::size_t i = 0; i < snapshot.byteChangedUs.size(); ++i)
        if (snapshot.byteChangedUs[i] != kNever && nowUs_ - snapshot.byteChangedUs[i] < kChangeMarkUs)
            changed.append(int(i));
    return changed;
}

QModelIndex MessageModel::index(int row, int column, const QModelIndex& parent) const {
    if (column < 0 || column >= ColumnCount || row < 0)
        return {};
    if (!parent.isValid())
        return row < int(rows_.size()) ? createIndex(row, column, kMessageRowId) : QModelIndex();
    if (parent.internalId() != kMessageRowId || parent.row() >= int(rows_.size()))
        return {};
    if (row >= int(signalsAt(parent.row()).size()))
        return {};
    return createIndex(row, column, quintptr(parent.row()) + 1);
}

QModelIndex MessageModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == kMessageRowId)
        return {};
    return createIndex(int(child.internalId() - 1), 0, kMessageRowId);
}

int MessageModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return int(rows_.size());
    if (parent.internalId() != kMessageRowId || parent.column() != 0)
        return 0;
    return int(signalsAt(parent.row()).size());
}

int MessageModel::columnCount(const QModelIndex&) const {
    return ColumnCount;
}

bool MessageModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid())
        return !rows_.empty();
    if (parent.internalId() != kMessageRowId || parent.column() != 0)
        return false;
    const Row& row = rows_[std::size_t(parent.row())];
    return row.signalCache ? !row.signalCache->empty() : row.hasSignals;
}

QVariant MessageModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (index.internalId() == kMessageRowId)
        return messageData(rows_[std::size_t(index.row())], index.column(), role);
    const Row& row = rows_[std::size_t(index.internalId() - 1)];
    return signalData(row, index.row(), index.column(), role);
}

QVariant MessageModel::messageData(const Row& row, int column, int role) const {
    const MessageSnapshot& s = row.snapshot;
    const bool j1939 = s.key.protocol == BusProtocol::J1939;
    if (role == SearchTextRole)
        return row.searchText + QLatin1Char(' ') + hexBytes(s.data, kShownBytes).toLower();
    if (role == ChangedBytesRole)
        return QVariant::fromValue(changedBytes(int(&row - rows_.data())));
    if (role == Qt::TextAlignmentRole && column >= Count && column <= Age)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == SortRole) {
        switch (column) {
        case Protocol:
            return int(s.key.protocol);
        case Identifier:
            return s.key.id;
        case Name:
            return row.name;
        case Source:
            return s.key.source;
        case Destination:
            return isPdu1(s.key.id) ? s.destination : 0xFF;
        case Count:
            return qulonglong(s.count);
        case Period:
            return s.period.known ? s.period.periodMs : 1e18;
        case Jitter:
            return s.period.known ? s.period.jitterMs : 1e18;
        case Age:
            return qlonglong(-s.lastUs);
        case Data:
            return hexBytes(s.data, kShownBytes);
        default:
            return {};
        }
    }
    const bool accessible = role == Qt::AccessibleTextRole;
    if (role != Qt::DisplayRole && !accessible && role != Qt::ToolTipRole)
        return {};
    switch (column) {
    case Protocol:
        return j1939 ? QStringLiteral("J1939") : QStringLiteral("J1708");
    case Identifier:
        return identifierText(s.key);
    case Name:
        return row.name;
    case Source:
        return j1939 ? addressText(s.key.source) : QString();
    case Destination:
        if (!j1939)
            return QString();
        return isPdu1(s.key.id) ? addressText(s.destination) : QStringLiteral("global");
    case Count:
        return QString::number(s.count);
    case Period:
        return s.period.known ? millisecondsText(s.period.periodMs) : QString();
    case Jitter:
        return s.period.known ? millisecondsText(s.period.jitterMs) : QString();
    case Age:
        return QString::number(double(std::max<int64_t>(0, nowUs_ - s.lastUs)) / 1e6, 'f', 1) +
               QStringLiteral(" s");
    case Data: {
        const QString bytes = hexBytes(s.data, kShownBytes);
        if (role == Qt::DisplayRole)
            return bytes;
        // Screen readers and tool tips say which bytes changed, counting from 1.
        const QList<int> changed = changedBytes(int(&row - rows_.data()));
        if (changed.isEmpty())
            return bytes + QStringLiteral(", no byte changed in the last second");
        QStringList numbers;
        for (int byte : changed)
            numbers << QString::number(byte + 1);
        return bytes + QStringLiteral(", changed in the last second: byte%1 %2")
                           .arg(changed.size() > 1 ? QStringLiteral("s") : QString(),
                                numbers.join(QStringLiteral(", ")));
    }
    default:
        return {};
    }
}

QVariant MessageModel::signalData(const Row& row, int signal, int column, int role) const {
    const std::vector<SignalRow>& signalRows = *row.signalCache;
    if (signal >= int(signalRows.size()))
        return {};
    const SignalRow& s = signalRows[std::size_t(signal)];
    switch (role) {
    case SearchTextRole:
        return s.name.toLower();
    case SignalNumberRole:
        return s.plottable ? QVariant(s.number) : QVariant();
    case SignalUnitRole:
        return s.unit;
    case SignalRawRole:
        return s.raw;
    case SortRole:
        return signal; // signals keep their order within a message
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
    case Qt::ToolTipRole:
        break;
    default:
        return {};
    }
    switch (column) {
    case Identifier:
        return role == Qt::DisplayRole ? s.raw : QStringLiteral("raw ") + s.raw;
    case Name:
        return s.name;
    case Data:
        return s.value;
    default:
        return {};
    }
}

QVariant MessageModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const titles[ColumnCount] = {"Protocol", "PGN / ID", "Name",   "Source", "Destination",
                                                    "Count",    "Period",   "Jitter", "Age",    "Data"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}

} // namespace monitor
