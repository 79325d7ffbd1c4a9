#include "provisioning/mastercards.h"

#include "link/errors.h"
#include "provisioning/clearingwait.h"
#include "provisioning/mastercardwriting.h"

namespace limra {

namespace {
const QString kClassicWord = QStringLiteral("MifareClassic ");
const QString kPlusWord = QStringLiteral("MifarePLUS ");
constexpr char kProtectedByte = char(0xAA);
} // namespace

QString masterCardTypeWord(ReadMode readMode, int highlightedFormat)
{
    switch (readMode) {
    case ReadMode::ObjectCode:
        // The highlighted entry of the format list: its first is MifareClassic.
        return highlightedFormat == 0 ? kClassicWord : kPlusWord;
    case ReadMode::BlockCode:
    case ReadMode::PassZones:
        // The only format offered in these modes is MifarePLUS.
        return kPlusWord;
    case ReadMode::Uid:
        break;
    }
    return QString();
}

void MasterCardsCreate::start(const ConfigItems &items, const QString &cardType, bool optionVisible)
{
    begin();
    m_items = items;
    m_failure = Failure::None;
    m_refusal.reset();
    m_written = 0;
    m_requested = 0;
    m_protected = false;
    auto wait = std::make_unique<MasterCardWriting>(m_link, m_timings, cardType, optionVisible);
    connect(wait.get(), &MasterCardWriting::countChosen, this, &MasterCardsCreate::write);
    runWait(std::move(wait), [this](WaitResult result) {
        MasterCardWriting *w = writing();
        m_written = w->written();
        if (m_failure == Failure::None && w->requested() > 0 && w->written() == w->requested()) {
            resumeReading([this] { end(Status::Done); });
            return;
        }
        if (m_failure == Failure::None)
            m_failure = result == WaitResult::No ? Failure::TimeUp : Failure::Closed;
        resumeReading([this] {
            end(m_failure == Failure::Closed ? Status::Cancelled : Status::Failed, m_refusal);
        });
    });
}

Report MasterCardsCreate::report() const
{
    switch (m_failure) {
    case Failure::ConfigRefused:
        return Report::message(QStringLiteral("Ошибка записи конфигурации: ") + errorText(*m_refusal));
    case Failure::StartRefused:
        return Report::message(QStringLiteral("Ошибка перевода в режим создания мастер-карт: ") + errorText(*m_refusal));
    case Failure::None:
        // Cut off after some of the cards: which of them are master cards now.
        if (status() == Status::ReaderLost && m_written > 0)
            return Report::error(errorMessage(LinkError::portLost())
                                 + QStringLiteral(" Создано мастер-карт: %1 из %2.").arg(m_written).arg(m_requested));
        return ReaderOperation::report();
    case Failure::TimeUp:
    case Failure::Closed:
        break;
    }
    return Report::none();
}

void MasterCardsCreate::readerLost()
{
    if (const MasterCardWriting *w = writing())
        m_written = w->written();
    CardOperation::readerLost();
}

void MasterCardsCreate::write(int count, bool protectedMode)
{
    m_requested = count;
    m_protected = protectedMode;
    ConfigItems config = m_items;
    config.set(tag::Protection, QByteArray(1, protectedMode ? kProtectedByte : char(0)));
    request(payload(command::WriteConfig, command::MasterConfigVersion, config.toBytes()),
            [this, count](const ReaderLink::Answer &answer) {
                if (!answer.ok())
                    return refused(Failure::ConfigRefused, *answer.error);
                const QByteArray start{"\x01\x02\x00", 3};
                setCardMode(true); // a cancel from here on puts the reader back to card reading
                request(payload(command::StartMasterCards, command::kVersion, start + char(count)),
                        [this](const ReaderLink::Answer &started) {
                            if (!started.ok())
                                return refused(Failure::StartRefused, *started.error);
                            writing()->writingStarted();
                        });
            });
}

void MasterCardsCreate::refused(Failure failure, const LinkError &error)
{
    m_failure = failure;
    m_refusal = error;
    writing()->close();
}

void MasterCardsClear::start()
{
    begin();
    m_cleared = 0;
    startCardOperation(payload(command::ClearMasterCards, command::kVersion), [this] {
        runWait(std::make_unique<ClearingWait>(m_link, m_timings, QStringLiteral("Очистка мастер-карт"),
                                               QStringLiteral("По очереди подносите мастер-карты к USB-считывателю"),
                                               QStringLiteral("Закончить очистку мастер-карт")),
                [this](WaitResult) {
                    m_cleared = static_cast<ClearingWait *>(cardWait())->cleared();
                    resumeReading([this] { end(Status::Done); });
                });
    });
}

} // namespace limra

#include "moc_mastercards.cpp"
