#include "monitor/csv.h"

namespace monitor {

QString csvField(const QString& field) {
    const bool quote = field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) ||
                       field.contains(QLatin1Char('\r')) || field.contains(QLatin1Char('\n'));
    if (!quote)
        return field;
    QString quoted = field;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString csvRecord(const QStringList& fields) {
    QStringList out;
    out.reserve(fields.size());
    for (const QString& field : fields)
        out << csvField(field);
    return out.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

} // namespace monitor
