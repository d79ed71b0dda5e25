#pragma once
// Comma-separated values as RFC 4180 has them: a field holding a comma, a
// double quote, a carriage return or a line feed is quoted, its quotes
// doubled; records end in CR LF.

#include <QString>
#include <QStringList>

namespace monitor {

QString csvField(const QString& field);
QString csvRecord(const QStringList& fields);

} // namespace monitor
