#include "display/cardlogcsv.h"

#include "display/idkinds.h"
#include "display/localtimetext.h"

namespace limra {

namespace {
void appendField(QByteArray &out, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    for (char c : bytes) {
        if (c == ';' || c == ',' || c == '"' || c == '\n' || c == '\r') {
            QByteArray quoted = bytes;
            quoted.replace('"', "\"\"");
            out += '"' + quoted + '"';
            return;
        }
    }
    out += bytes;
}
} // namespace

QByteArray cardLogCsvHeader()
{
    return QByteArray("Время;Вид идентификатора;ID (как показан);ID (HEX);Тип карты\r\n");
}

void appendCardLogCsvLine(QByteArray &out, const CardLogEntry &e, LocalTimeText &times)
{
    times.append(out, e.msecs);
    out += ';';
    out += idKindLook(e.kind).label;
    out += ';';
    appendField(out, e.shown);
    out += ';';
    appendField(out, e.id.text());
    out += ';';
    appendField(out, e.cardType);
    out += "\r\n";
}

} // namespace limra
