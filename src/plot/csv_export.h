#pragma once

#include <QString>

#include <vector>

class QIODevice;

namespace plot {

class SampleStore;

struct CsvColumn {
    QString header;
    const SampleStore* samples = nullptr;
};

// Writes CSV (RFC 4180: CRLF line ends, fields with commas, quotes or line
// breaks quoted): a header row, then one row per distinct sample time in
// time order with that time and each column's value at it, empty where a
// column has no sample at that time. Numbers use '.' and as many digits as
// it takes to read them back exactly. False when the device refuses a write.
bool writeCsv(QIODevice& out, const QString& timeHeader, const std::vector<CsvColumn>& columns);

// A field quoted where RFC 4180 asks for it.
QString csvField(const QString& text);

} // namespace plot
