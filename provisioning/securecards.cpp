#include "provisioning/securecards.h"

#include "common/texts.h"
#include "config/readerconfig.h"
#include "link/errors.h"
#include "link/hextext.h"
#include "link/readerlink.h"
#include "platform/dialogs.h"
#include "provisioning/cardwait.h"

namespace limra {

namespace {
const QString &kCaption = texts::kSecureCardsCaption;
const QString kCreating = QStringLiteral("Создание защищенных карт");
const QString kClearing = QStringLiteral("Очистка защищенных карт");
// A configuration reply shorter than this holds no read mode worth showing.
constexpr int kMinimumModeReplyDigits = 41;
} // namespace

SecureCardOperations::SecureCardOperations(ReaderLink &link, UserDialogs &dialogs, CardWaits &waits,
                                           QObject *parent)
    : QObject(parent), ReaderOperation(link, dialogs), m_waits(waits)
{
}

SecureCardOperations::ModeView SecureCardOperations::modeView(Mode mode)
{
    switch (mode) {
    case Mode::ObjectCode: return {mode, texts::kObjectCodeMode, true, false};
    case Mode::PassZones: return {mode, texts::kZonesCaption, true, true};
    case Mode::Normal: return {mode, QStringLiteral("Обычный режим"), false, false};
    case Mode::CodeFromBlock: return {mode, QStringLiteral("Код из блока"), false, false};
    case Mode::Unknown: break;
    }
    return {Mode::Unknown, QStringLiteral("Неизвестно"), false, false};
}

SecureCardOperations::ModeView SecureCardOperations::queryMode()
{
    const QString result = send(command::ReadConfig);
    QString item;
    if (!isError(result) && result.size() >= kMinimumModeReplyDigits)
        item = tagValue(tag::ReadMode, result, Packet::Items);
    static const struct { const char *item; Mode mode; } modes[] = {
        {"00", Mode::Normal}, {"01", Mode::ObjectCode}, {"02", Mode::CodeFromBlock}, {"03", Mode::PassZones}};
    m_mode = Mode::Unknown;
    for (const auto &m : modes)
        if (item == QLatin1String(m.item))
            m_mode = m.mode;
    return modeView(m_mode);
}

void SecureCardOperations::create(const std::array<bool, 64> &zones)
{
    if (!m_dialogs.question(kCaption, QStringLiteral("Для создания защищенных карт потребуется ранее созданная "
                                                     "мастер-карта с заданным кодом объекта. Продолжить?")))
        return;
    if (m_mode == Mode::PassZones) {
        const QString result = send(command::WriteSecureZones + zoneMask(zones));
        if (isError(result)) {
            resumeAndReport(result);
            return;
        }
    }
    countCards(command::CreateSecureCards, kCreating, QStringLiteral("Создано защищенных карт:"),
               QStringLiteral("Закончить создание защищенных карт"),
               QStringLiteral("Ошибка создания защищенных карт."));
}

void SecureCardOperations::clearOneObjectCode()
{
    if (!m_dialogs.question(kCaption, QStringLiteral("Для очистки защищенных карт потребуется ранее созданная "
                                                     "мастер-карта с заданным кодом объекта. Продолжить?")))
        return;
    countCards(command::ClearSecureCards, kClearing, QStringLiteral("Очищено защищенных карт:"),
               QStringLiteral("Закончить очистку защищенных карт"), QStringLiteral("Ошибка очистки защищенных карт."));
}

void SecureCardOperations::countCards(const QString &startCommand, const QString &caption,
                                      const QString &counterCaption, const QString &finishText,
                                      const QString &failure)
{
    if (!startCardOperation(startCommand))
        return;
    SecureCardWait wait(m_link.cardEvents(), caption, counterCaption, finishText);
    const WaitResult outcome = m_waits.run(wait);
    resumeReading();
    if (outcome == WaitResult::No)
        m_dialogs.error(failure);
}

void SecureCardOperations::clearAllObjectCodes()
{
    if (!m_dialogs.question(kCaption,
                            QStringLiteral("Во время очистки защищенных карт будут удалены ВСЕ коды объектов. Продолжить?")))
        return;
    if (!startCardOperation(command::ClearAllSecureCards))
        return;
    ClearingWait wait(m_link.cardEvents(), kClearing, texts::kPresentCardsPrompt,
                      QStringLiteral("Закончить очистку карт"));
    m_waits.run(wait);
    resumeReading();
}

} // namespace limra
