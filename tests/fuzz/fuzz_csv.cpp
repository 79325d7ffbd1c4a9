// Card-log CSV lines of any identifier and card-type texts: the line has the
// five fields and its line end; a field with ";", ",", a quote or a line end
// is quoted; and reading the line back as CSV gives every text again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "display/cardlog.h"

namespace {

bool needsQuotes(const QByteArray &field)
{
    return field.contains(';') || field.contains(',') || field.contains('"') || field.contains('\n')
           || field.contains('\r');
}

// Splits one CSV line (";" between fields, quoted fields with doubled quotes,
// "\r\n" at its end). False when it is not such a line.
bool splitLine(const QByteArray &line, QList<QByteArray> *fields, QList<bool> *quoted)
{
    if (!line.endsWith("\r\n"))
        return false;
    const QByteArray body = line.chopped(2);
    qsizetype i = 0;
    for (;;) {
        QByteArray field;
        const bool q = i < body.size() && body[i] == '"';
        if (q) {
            ++i;
            for (;;) {
                if (i >= body.size())
                    return false; // no closing quote
                if (body[i] == '"') {
                    if (i + 1 < body.size() && body[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += body[i++];
            }
        } else {
            while (i < body.size() && body[i] != ';') {
                if (body[i] == '"' || body[i] == '\r' || body[i] == '\n')
                    return false; // these only inside quotes
                field += body[i++];
            }
        }
        *fields << field;
        *quoted << q;
        if (i == body.size())
            return true;
        if (body[i] != ';')
            return false;
        ++i;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the kind; the rest holds the three texts, split at zero bytes.
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1)).split('\0');
    const QString hex = QString::fromUtf8(parts.value(1));
    const limra::CardLogEntry entry(QDateTime(QDate(2026, 12, 10), QTime(9, 5, 1)), limra::IdKind(data[0] % 5),
                                    QString::fromUtf8(parts.value(0)), hex, QString::fromUtf8(parts.value(2)));

    const QByteArray line = limra::CardLog::csvLine(entry);
    QList<QByteArray> fields;
    QList<bool> quoted;
    if (!splitLine(line, &fields, &quoted) || fields.size() != 5)
        std::abort();
    const QList<QByteArray> expected = {"2026-12-10 09:05:01", limra::CardLog::kindName(entry.kind).toUtf8(),
                                        entry.shown.toUtf8(), hex.toUtf8(), entry.cardType.toUtf8()};
    for (int i = 0; i < 5; ++i) {
        if (fields[i] != expected[i])
            std::abort(); // the text does not come back
        if (needsQuotes(expected[i]) && !quoted[i])
            std::abort();
    }
    return 0;
}
