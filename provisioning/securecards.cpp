#include "provisioning/securecards.h"

#include "common/texts.h"
#include "config/readerconfig.h"
#include "provisioning/clearingwait.h"
#include "provisioning/securecardwait.h"

namespace limra {

namespace {
const QString kClearing = QStringLiteral("Очистка защищенных карт");
// A configuration reply shorter than this holds no read mode worth showing.
constexpr int kMinimumModeReplyBytes = 21;
} // namespace

SecureModeView secureModeView(SecureMode mode)
{
    switch (mode) {
    case SecureMode::ObjectCode: return {mode, texts::kObjectCodeMode, true, false};
    case SecureMode::PassZones: return {mode, texts::kZonesCaption, true, true};
    case SecureMode::Normal: return {mode, QStringLiteral("Обычный режим"), false, false};
    case SecureMode::CodeFromBlock: return {mode, QStringLiteral("Код из блока"), false, false};
    case SecureMode::Unknown: break;
    }
    return {SecureMode::Unknown, QStringLiteral("Неизвестно"), false, false};
}

void SecureModeQuery::start()
{
    begin();
    m_mode = SecureMode::Unknown;
    request(payload(command::ReadConfig, command::kVersion), [this](const ReaderLink::Answer &answer) {
        if (answer.ok() && answer.reply.body.size() >= kMinimumModeReplyBytes) {
            const std::optional<QByteArray> item = answer.reply.item(tag::ReadMode);
            if (item && item->size() == 1 && quint8(item->at(0)) <= 3) {
                static const SecureMode modes[] = {SecureMode::Normal, SecureMode::ObjectCode,
                                                   SecureMode::CodeFromBlock, SecureMode::PassZones};
                m_mode = modes[quint8(item->at(0))];
            }
        }
        end(answer.ok() ? Status::Done : Status::Failed, answer.error);
    });
}

void SecureCardsRun::start(Kind kind, SecureMode mode, const std::array<bool, 64> &zones)
{
    begin();
    m_kind = kind;
    m_failure = Failure::None;
    m_cards = 0;
    switch (kind) {
    case Kind::Create: {
        auto create = [this] {
            countCards(command::CreateSecureCards, QStringLiteral("Создание защищенных карт"),
                       QStringLiteral("Создано защищенных карт:"), QStringLiteral("Закончить создание защищенных карт"));
        };
        if (mode != SecureMode::PassZones)
            return create();
        const QByteArray zoneItem = QByteArray(1, char(tag::Key)) + char(16) + zoneMask(zones);
        request(payload(command::WriteConfig, command::ZonesVersion, zoneItem),
                [this, create](const ReaderLink::Answer &answer) {
                    if (!answer.ok()) {
                        m_failure = Failure::Refused;
                        return resumeAndFail(*answer.error);
                    }
                    create();
                });
        return;
    }
    case Kind::ClearOne:
        countCards(command::ClearSecureCards, kClearing, QStringLiteral("Очищено защищенных карт:"),
                   QStringLiteral("Закончить очистку защищенных карт"));
        return;
    case Kind::ClearAll:
        m_failure = Failure::Refused; // until the reader accepts
        startCardOperation(payload(command::ClearAllSecureCards, command::kVersion), [this] {
            m_failure = Failure::None;
            runWait(std::make_unique<ClearingWait>(m_link, m_timings, kClearing, texts::kPresentCardsPrompt,
                                                   QStringLiteral("Закончить очистку карт")),
                    [this](WaitResult) {
                        m_cards = static_cast<ClearingWait *>(cardWait())->cleared();
                        resumeReading([this] { end(Status::Done); });
                    });
        });
        return;
    }
}

Report SecureCardsRun::report() const
{
    if (m_failure == Failure::MasterCardNotTaken)
        return Report::error(m_kind == Kind::Create ? QStringLiteral("Ошибка создания защищенных карт.")
                                                    : QStringLiteral("Ошибка очистки защищенных карт."));
    return ReaderOperation::report();
}

void SecureCardsRun::countCards(quint8 startCommand, const QString &caption, const QString &counterCaption,
                                const QString &finishText)
{
    m_failure = Failure::Refused; // until the reader accepts
    startCardOperation(payload(startCommand, command::kVersion), [=] {
        m_failure = Failure::None;
        runWait(std::make_unique<SecureCardWait>(m_link, m_timings, caption, counterCaption, finishText),
                [this](WaitResult result) {
                    m_cards = static_cast<SecureCardWait *>(cardWait())->made();
                    resumeReading([this, result] {
                        if (result == WaitResult::No) {
                            m_failure = Failure::MasterCardNotTaken;
                            end(Status::Failed);
                        } else {
                            end(Status::Done);
                        }
                    });
                });
    });
}

} // namespace limra

#include "moc_securecards.cpp"
