#pragma once
// The card log as CSV: UTF-8 with a byte-order mark, a header line, ';'
// between fields, "\r\n" after each line, as spreadsheets of a Russian
// desktop open it. A field with ';', ',', '"' or a line break is quoted.
#include <QByteArray>

#include "display/cardlogentry.h"

namespace limra {

class LocalTimeText;

// What a CSV file of the log begins with, before its header line.
inline constexpr char kCsvByteOrderMark[] = "\xEF\xBB\xBF";

// The header line, with its line end.
QByteArray cardLogCsvHeader();
// Appends the line of `entry`, with its line end; `times` gives its local time.
void appendCardLogCsvLine(QByteArray &out, const CardLogEntry &entry, LocalTimeText &times);

} // namespace limra
