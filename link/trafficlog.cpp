#include "link/trafficlog.h"

#include <QLocale>
#include <QTime>

#include "common/texts.h"
#include "link/errors.h"
#include "link/hextext.h"
#include "link/readerlink.h"

namespace limra {

QString renderTraffic(const QString &hex, TrafficRendering rendering)
{
    if (!rendering.hex && !rendering.ascii)
        return QString();
    QString out;
    for (int i = 0; i + 1 < hex.size(); i += 2) {
        const QString pair = hex.mid(i, 2);
        const int v = int(hexToInt(pair) & 0xFF);
        const QString character = v >= 0x20 ? QString(QChar(v)) : QString();
        if (rendering.hex && rendering.ascii)
            out += pair + QLatin1Char('(') + (character.isEmpty() ? QStringLiteral(".") : character)
                   + QStringLiteral(") ");
        else if (rendering.ascii)
            out += character.isEmpty() ? QStringLiteral(".") : character;
        else
            out += pair + QLatin1Char(' ');
    }
    return out;
}

QString trafficLine(const QString &time, QChar direction, const QString &rendered)
{
    return QLatin1Char('[') + time + QStringLiteral("] ") + direction + QLatin1Char(' ') + rendered;
}

TypedCommand parseTypedCommand(const QString &typed)
{
    TypedCommand out;
    QString digits;
    QStringList wrong; // each character refused, once, in the order typed
    for (const char32_t c : typed.toUcs4()) {
        if (QChar::isSpace(c))
            continue;
        if (c < 0x80 && isUpperHexDigit(QChar(c).toUpper())) {
            digits += QChar(c).toUpper();
            continue;
        }
        const QString shown = QStringLiteral("«%1»").arg(
            QChar::isPrint(c) ? QString::fromUcs4(&c, 1)
                              : QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper());
        if (!wrong.contains(shown))
            wrong << shown;
    }
    if (!wrong.isEmpty())
        out.refusal = QStringLiteral("Команда содержит недопустимые символы: ") + wrong.join(QLatin1Char(' '));
    else if (digits.isEmpty())
        out.refusal = QStringLiteral("Команда пуста: введите байты шестнадцатеричными цифрами.");
    else if (digits.size() % 2 != 0)
        out.refusal = QStringLiteral("Нечётное число цифр в команде: каждый байт — две цифры.");
    else if (digits.size() / 2 > kMaxPayload)
        out.refusal = QStringLiteral("Команда длиннее %1 байт: её длина не помещается в кадр.").arg(kMaxPayload);
    else
        out.payload = hexToBytes(digits);
    return out;
}

TrafficLog::TrafficLog(ReaderLink &link, QObject *parent) : QObject(parent)
{
    link.setTrafficReported(true);
    connect(&link, &ReaderLink::traffic, this, &TrafficLog::traffic);
}

void TrafficLog::traffic(char direction, const QByteArray &bytes)
{
    const QString rendered = renderTraffic(bytesToHex(bytes), rendering);
    if (rendered.isEmpty())
        return;
    const QString time = QLocale::system().toString(QTime::currentTime(), QLocale::LongFormat);
    Q_EMIT lineAdded(trafficLine(time, QLatin1Char(direction), rendered));
}

Report DebugCommand::report() const
{
    switch (status()) {
    case Status::Done: return Report::message(texts::kDone);
    case Status::Failed: return Report::message(error() ? errorMessage(*error()) : QString());
    default: return ReaderOperation::report();
    }
}

void DebugCommand::start(const QByteArray &command)
{
    begin();
    request(command, [this](const ReaderLink::Answer &answer) {
        if (answer.ok())
            end(Status::Done);
        else
            resumeAndFail(*answer.error);
    });
}

} // namespace limra

#include "moc_trafficlog.cpp"
