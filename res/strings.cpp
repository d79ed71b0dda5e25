#include "res/strings.h"

namespace res {

QString loadString(int id) {
    switch (id) {
    case IDS_ABOUTBOX:
        return QStringLiteral("&About Tarvik...");
    default:
        return QString();
    }
}

} // namespace res
