#include "link/errors.h"

#include "common/texts.h"
#include "link/hextext.h"

namespace limra {

QString errorText(int code)
{
    switch (code & 0xFF) {
    case 0: return QStringLiteral("Превышено время ожидания ответа.");
    case 7: return QStringLiteral("Не случайный UID в картах MifarePlus.");
    case 8: return QStringLiteral("Ошибка выбора VCA.");
    case 9: return QStringLiteral("Данные карты не корректны, ошибочная карта.");
    case 10: return QStringLiteral("Ошибка аутентификации MFP.");
    case 11:
    case 20: return QStringLiteral("Ошибка чтения данных с карты.");
    case 12: return QStringLiteral("Ошибочные параметры комманды.");
    case 13: return QStringLiteral("Все мастер-карты созданы.");
    case 14: return QStringLiteral("Мастер-карта не пуста.");
    case 15: return QStringLiteral("Ошибочная команда.");
    case 16: return QStringLiteral("Нет данных на мастер-карте.");
    case 17: return QStringLiteral("Ошибка записи MFP.");
    case 18: return QStringLiteral("Код объекта уже существует на данной карте.");
    case 19: return QStringLiteral("Приложена мастер-карта.");
    case 21: return QStringLiteral("Ошибка записи MFC.");
    case 22: return QStringLiteral("Ошибка аутентификации Mifare Classic.");
    case 23: return QStringLiteral("Для данного режима нужны только карты Mifare Plus.");
    case 24: return QStringLiteral("Для данного режима нужны только карты Mifare Classic.");
    case 25: return QStringLiteral("Карта пустая.");
    case 26: return QStringLiteral("Защищеные режимы мастер-карты и считывателя не совпадают.");
    case 27:
        // The first letter of the first line is the Latin capital C.
        return QStringLiteral("Cчитыватель находится в защищенном режиме и это режим можно снять "
                              "только с помощью мастер-карт которыми он был создан.\r\n"
                              "Нажмите кнопку \"Считать конфигурацию с мастер-карты и записать в "
                              "USB-считыватель\" и приложите указанную мастер-карту.");
    default:
        return QStringLiteral("Неизвестная ошибка №") + QString::number(code & 0xFF);
    }
}

QStringList lineErrorTexts(LineErrors errors)
{
    static const struct { LineError kind; const char *text; } table[] = {
        {ParityError, "ERROR: The hardware detected a parity error."},
        {FramingError, "ERROR: The hardware detected a framing error."},
        {OverrunError, "ERROR: A charachter buffer overrun has occured."},
        {BreakCondition, "ERROR: The hardware detected a break condition."},
        {IoError, "ERROR: An I/O error occured during communication with the device."},
        {ModeNotSupported, "ERROR: The requested mode is not supported."},
        {InputOverflow, "ERROR: An input buffer overflow has occured."},
        {OutputBufferFull, "ERROR: The output buffer is full."},
    };
    QStringList out;
    for (const auto &row : table)
        if (errors & row.kind) out << QString::fromLatin1(row.text);
    return out;
}

QString errorText(const LinkError &error)
{
    switch (error.kind) {
    case LinkError::Kind::Malformed: return QStringLiteral("Некорректный ответ.");
    case LinkError::Kind::PortLost: return QStringLiteral("Считыватель отключён.");
    case LinkError::Kind::TimedOut:
    case LinkError::Kind::Refused: break;
    }
    return errorText(error.textCode());
}

QString errorMessage(const LinkError &error)
{
    return texts::kErrorPrefix + errorText(error);
}

} // namespace limra
