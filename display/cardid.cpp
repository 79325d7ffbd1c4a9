#include "display/cardid.h"

namespace limra {

namespace {
int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}
} // namespace

CardId::CardId(QStringView text)
{
    if (text.size() <= kMaxDigits) {
        bool hex = true;
        for (qsizetype i = 0; i < text.size() && hex; ++i) {
            const int v = hexValue(text[i]);
            hex = v >= 0;
            if (hex)
                m_nibbles[size_t(i / 2)] |= quint8(i % 2 ? v : v << 4);
        }
        if (hex) {
            m_digits = quint8(text.size());
            return;
        }
        m_nibbles.fill(0);
    }
    m_other = text.toString();
}

QString CardId::text() const
{
    if (m_digits == 0)
        return m_other;
    static const char kDigits[] = "0123456789ABCDEF";
    QString out(m_digits, Qt::Uninitialized);
    QChar *p = out.data();
    for (int i = 0; i < m_digits; ++i) {
        const quint8 byte = m_nibbles[size_t(i / 2)];
        p[i] = QLatin1Char(kDigits[i % 2 ? byte & 0x0F : byte >> 4]);
    }
    return out;
}

bool CardId::operator==(const CardId &other) const
{
    return m_digits == other.m_digits && m_nibbles == other.m_nibbles && m_other == other.m_other;
}

} // namespace limra
