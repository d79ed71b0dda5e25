#pragma once
// Choosing and binding a driver: the implementation list of rp121032.ini,
// the Device action and the version read.

#include "connect/connection_status.h"

#include <QString>

#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace connect {

struct ImplementationList {
    std::vector<std::string> names;
    int defaultIndex = -1; // -1 when the list is empty
};

// Splits an APIImplementations value at commas (empty tokens dropped, blanks
// kept) and picks the last name containing "ZT121032", else the first.
ImplementationList parseImplementationList(std::string_view value);
// Reads section "RP1210Support", key "APIImplementations" of the ini file
// (256-byte buffer); a missing file or key gives an empty list.
ImplementationList readImplementationList(const std::string& iniPath);
// Where the program's rp121032.ini is.
std::string implementationIniPath();
// Makes the program read another file instead (tests); empty restores it.
void overrideImplementationIniPath(const std::string& path);

// What the connection dialog shows after a Device action.
struct DeviceActionResult {
    bool statusChanged = false; // the version was read (statusText holds the new text)
    QString statusText;
};

// The Device action for the selected implementation name: loads the library
// unless the name is part of the one last tried, resolves the entry points
// and reads the version. Problems are told in message boxes over parent.
DeviceActionResult selectDriver(const std::string& implementationName, ConnectionStatus& status,
                                QWidget* parent);

// Reads the driver's version into a status text and sets status.connected.
QString readDriverVersion(ConnectionStatus& status);

// Binds the named implementation directly (tests and benchmarks): true when
// the library loaded.
bool loadDriverForTest(const std::string& implementationName);

} // namespace connect
