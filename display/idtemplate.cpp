#include "display/idtemplate.h"

#include "link/hextext.h"

namespace limra {

QString templateNibbles(const QString &uid)
{
    const QString right = uid.right(16);
    return QString(16 - right.size(), QLatin1Char('0')) + right;
}

QString decimalOfHex(const QString &hex)
{
    return QString::number(quint64(hexToInt(hex)));
}

QString hexOfDecimal(const QString &decimal)
{
    bool ok = false;
    const quint64 v = decimal.toULongLong(&ok);
    return ok ? QString::number(v, 16).toUpper() : QString();
}

QString renderTemplate(const QString &uid, const QString &tmpl)
{
    // nibbles[0] is n82 ... nibbles[15] is n11.
    const QString nibbles = templateNibbles(uid);
    auto nibble = [&](int byte, int half) { // half 1: low (right), 2: high (left)
        return QString(nibbles.at(16 - 2 * byte + (half == 1 ? 1 : 0)));
    };

    QString text = tmpl;
    text.replace(QStringLiteral("dec("), QStringLiteral("dec00("));
    for (int w = 0; w <= 9; ++w)
        text.replace(QStringLiteral("dec%1(").arg(w), QStringLiteral("dec0%1(").arg(w));

    for (int k = 1; k <= 8; ++k)
        text.replace(QStringLiteral("b%1").arg(k), nibble(k, 2) + nibble(k, 1));
    for (int k = 1; k <= 8; ++k)
        for (int half = 1; half <= 2; ++half)
            text.replace(QStringLiteral("n%1%2").arg(k).arg(half), nibble(k, half));

    for (;;) {
        int d = -1;
        for (int i = 0; i + 6 < text.size(); ++i) {
            if (text.at(i) == QLatin1Char('d') && text.at(i + 5) == QLatin1Char('(')) {
                d = i;
                break;
            }
        }
        if (d < 0)
            return text;
        bool ok = false;
        int width = text.mid(d + 3, 2).toInt(&ok);
        if (!ok || width < 0)
            width = 0;
        const int close = text.indexOf(QLatin1Char(')'), d + 6);
        if (close < 0)
            return kTemplateError;
        const QString digits = text.mid(d + 6, close - d - 6);
        if (digits.size() > 16)
            return kTemplateError;
        for (QChar c : digits)
            if (!isUpperHexDigit(c))
                return kTemplateError;
        const QString value = digits.isEmpty()
            ? QString()
            : QString::number(quint64(hexToInt(digits))).rightJustified(width, QLatin1Char('0'));
        text.replace(text.mid(d, close - d + 1), value);
    }
}

} // namespace limra
