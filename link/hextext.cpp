#include "link/hextext.h"


namespace limra {

static const char kDigits[] = "0123456789ABCDEF";

static int digitValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    return -1;
}

qint64 hexToInt(QStringView text)
{
    quint64 value = 0; // two's-complement arithmetic without signed overflow
    const int n = std::min<int>(text.size(), 16);
    for (int i = 0; i < n; ++i)
        value = value * 16 + quint64(qint64(digitValue(text.at(i))));
    return qint64(value);
}

QString swapBytes(const QString &hex)
{
    const QString t = (hex.size() % 2) ? QStringLiteral("0") + hex : hex;
    QString out;
    out.reserve(t.size());
    for (int i = t.size() - 2; i >= 0; i -= 2)
        out += t.mid(i, 2);
    return out;
}

QString bytesToHex(const QByteArray &bytes)
{
    QString out(bytes.size() * 2, Qt::Uninitialized);
    QChar *p = out.data();
    for (char ch : bytes) {
        const auto b = quint8(ch);
        *p++ = QLatin1Char(kDigits[b >> 4]);
        *p++ = QLatin1Char(kDigits[b & 15]);
    }
    return out;
}

QByteArray hexToBytes(const QString &hex)
{
    // Each pair as hexToInt reads it: a non-hex digit counts as -1.
    QByteArray out(hex.size() / 2, Qt::Uninitialized);
    const QChar *p = hex.constData();
    for (qsizetype i = 0; i < out.size(); ++i, p += 2)
        out[i] = char((digitValue(p[0]) * 16 + digitValue(p[1])) & 0xFF);
    return out;
}

QString hexByte(int value)
{
    return hexDigits(quint64(value) & 0xFF, 2);
}

QString hexDigits(quint64 value, int width)
{
    return QString::number(value, 16).toUpper().rightJustified(width, QLatin1Char('0'));
}

QString frameText(const QString &payload)
{
    const QString whole = payload.left(payload.size() - payload.size() % 2);
    return QStringLiteral("23") + hexByte(whole.size() / 2 + 3) + whole + QStringLiteral("24");
}

bool isUpperHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

QString upperHexDigitsOnly(const QString &text)
{
    QString out;
    for (QChar c : text)
        if (isUpperHexDigit(c.toUpper()))
            out += c.toUpper();
    return out;
}

QString tagValue(quint8 tag, const QString &packet, Packet kind)
{
    int p = kind == Packet::Frame ? 8 : 0; // digit offset of byte 5 or byte 1
    int c = 0, len = 0, k = 0;
    QString v;
    while (p + 2 <= packet.size()) {
        const int b = int(hexToInt(QStringView(packet).mid(p, 2)) & 0xFF);
        p += 2;
        if (c == 0) {
            c = b; v.clear(); len = 0;
        } else if (len == 0) {
            len = b; k = 0;
        } else {
            v += QStringView(packet).mid(p - 2, 2);
            if (++k == len) {
                if (c == tag) return v;
                c = 0;
            }
        }
    }
    return QString();
}

} // namespace limra
