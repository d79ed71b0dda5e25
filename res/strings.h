#pragma once
#include <QString>

namespace res {

enum StringId {
    IDS_ABOUTBOX = 101,
};

// The string with the given number from the string table; empty if unknown.
QString loadString(int id);

} // namespace res
