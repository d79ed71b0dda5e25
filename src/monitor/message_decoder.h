#pragma once
// Names and decoded signals of the monitor's rows: from the loaded DBC files
// first, then from the built-in J1939 decoders; J1708 messages split into
// their J1587 parameters.

#include "monitor/bus_frame.h"

#include <QString>
#include <QStringList>

#include <span>
#include <vector>

namespace decode {
class SignalDatabase;
}

namespace monitor {

struct SignalRow {
    QString name;
    QString value; // as shown: a number with its unit, a value-table text, "n/a" or "error"
    QString unit;
    QString raw;       // hexadecimal raw value or bytes
    double number = 0; // for plotting
    bool plottable = false;
};

class MessageDecoder {
public:
    // The database is owned elsewhere and outlives this decoder (or is
    // replaced with another call).
    void setDatabase(const decode::SignalDatabase* database) { database_ = database; }
    const decode::SignalDatabase* database() const { return database_; }

    QString messageName(const MessageKey& key) const;
    // Whether the row expands into anything.
    bool hasSignals(const MessageKey& key) const;
    // Names of the signals the row expands into, without decoding (search).
    QStringList signalNames(const MessageKey& key) const;
    // The row's signals decoded from data.
    void decode(const MessageKey& key, std::span<const uint8_t> data, std::vector<SignalRow>& out) const;

private:
    const decode::SignalDatabase* database_ = nullptr;
};

} // namespace monitor
