#include "plot/csv_export.h"

#include "plot/sample_store.h"

#include <QIODevice>

#include <charconv>
#include <string>

namespace plot {

QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

namespace {

void appendNumber(std::string& out, double v) {
    char buffer[32];
    // Shortest text that reads back as the same double, independent of locale.
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    if (ec == std::errc{})
        out.append(buffer, end);
}

bool flush(QIODevice& out, std::string& buffer) {
    const bool ok = out.write(buffer.data(), qint64(buffer.size())) == qint64(buffer.size());
    buffer.clear();
    return ok;
}

} // namespace

bool writeCsv(QIODevice& out, const QString& timeHeader, const std::vector<CsvColumn>& columns) {
    std::string buffer;
    buffer += csvField(timeHeader).toStdString();
    for (const CsvColumn& column : columns) {
        buffer += ',';
        buffer += csvField(column.header).toStdString();
    }
    buffer += "\r\n";

    // Merge the columns by time: each row takes the next sample of every
    // column whose next sample has the row's time.
    std::vector<std::size_t> next(columns.size(), 0);
    for (;;) {
        bool any = false;
        double rowTime = 0;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const SampleStore* s = columns[c].samples;
            if (!s || next[c] >= s->size())
                continue;
            const double t = s->time(next[c]);
            if (!any || t < rowTime)
                rowTime = t;
            any = true;
        }
        if (!any)
            break;
        appendNumber(buffer, rowTime);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            buffer += ',';
            const SampleStore* s = columns[c].samples;
            if (s && next[c] < s->size() && s->time(next[c]) == rowTime)
                appendNumber(buffer, s->value(next[c]++));
        }
        buffer += "\r\n";
        if (buffer.size() >= (1u << 16) && !flush(out, buffer))
            return false;
    }
    return flush(out, buffer);
}

} // namespace plot
