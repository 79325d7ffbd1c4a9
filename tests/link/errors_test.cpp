#include <gtest/gtest.h>

#include "link/errors.h"

using namespace limra;

TEST(ErrToText, TableAndUnknownCodes)
{
    EXPECT_EQ(errorText(0), QStringLiteral("Превышено время ожидания ответа."));
    EXPECT_EQ(errorText(3), QStringLiteral("Неизвестная ошибка №3"));
    EXPECT_EQ(errorText(255), QStringLiteral("Неизвестная ошибка №255"));
    EXPECT_EQ(errorText(28), QStringLiteral("Неизвестная ошибка №28"));
    EXPECT_EQ(errorText(20), errorText(11));
    EXPECT_EQ(errorText(14), QStringLiteral("Мастер-карта не пуста."));
    const QString e27 = errorText(27);
    EXPECT_EQ(e27.at(0), QLatin1Char('C')); // Latin capital C
    EXPECT_TRUE(e27.contains(QStringLiteral("\r\nНажмите кнопку \"Считать конфигурацию с мастер-карты и записать в USB-считыватель\"")));
}

TEST(LinkErrors, EachKindHasItsMessage)
{
    EXPECT_EQ(errorMessage(LinkError::refused(0x0E)), QStringLiteral("Ошибка: Мастер-карта не пуста."));
    EXPECT_EQ(errorMessage(LinkError::timedOut()), QStringLiteral("Ошибка: Превышено время ожидания ответа."));
    // A status of code 00 that still counts as a refusal reads as the time-out.
    EXPECT_EQ(errorMessage(LinkError::refused(0)), errorMessage(LinkError::timedOut()));
    EXPECT_EQ(errorMessage(LinkError::malformed()), QStringLiteral("Ошибка: Некорректный ответ."));
    EXPECT_EQ(errorMessage(LinkError::portLost()), QStringLiteral("Ошибка: Считыватель отключён."));
}

TEST(LineErrors, OneMessagePerKindInFixedOrder)
{
    const QStringList m = lineErrorTexts(IoError | ParityError | OutputBufferFull);
    ASSERT_EQ(m.size(), 3);
    EXPECT_EQ(m[0], QStringLiteral("ERROR: The hardware detected a parity error."));
    EXPECT_EQ(m[1], QStringLiteral("ERROR: An I/O error occured during communication with the device."));
    EXPECT_EQ(m[2], QStringLiteral("ERROR: The output buffer is full."));
    EXPECT_TRUE(lineErrorTexts(0).isEmpty());
}
