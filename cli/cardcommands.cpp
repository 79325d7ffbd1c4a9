// limra-cli's card commands on one reader: watch, master-cards create and
// clear, and the card waits they open, told on standard error.
#include "cli/readerjob.h"

#include <QJsonObject>

#include "common/texts.h"
#include "config/editormodel.h"
#include "config/transfer.h"
#include "display/cardlog.h"
#include "display/cardpresenter.h"
#include "link/session.h"
#include "provisioning/cardwait.h"
#include "provisioning/mastercards.h"

namespace limra::cli {

void ReaderJob::cardWaitOpened(CardWait *wait)
{
    // The master card with the object code, after a write in a protected read mode.
    if (wait->kind() == CardWait::Kind::SingleCard)
        Q_EMIT message(static_cast<SingleCardWait *>(wait)->prompt()
                       + QStringLiteral(" (%1 s)").arg(wait->secondsShown()));
    if (wait->kind() == CardWait::Kind::MasterCardWriting) {
        auto *writing = static_cast<MasterCardWriting *>(wait);
        auto prompted = std::make_shared<QString>();
        connect(wait, &CardWait::changed, this, [this, writing, prompted] {
            if (writing->isOpen() && writing->page() == MasterCardWriting::Page::Progress && writing->prompt() != *prompted) {
                *prompted = writing->prompt();
                Q_EMIT message(writing->prompt() + QStringLiteral(" (%1 s)").arg(writing->secondsShown()));
            }
        });
        Q_EMIT message(writing->heading());
        // The count and the option, chosen as on the wait's first page, from the event loop.
        const int count = m_options.count;
        const bool protectedMode = m_options.protectedMode;
        QMetaObject::invokeMethod(
            writing,
            [writing, count, protectedMode] {
                writing->setOption(protectedMode);
                writing->chooseCount(count);
            },
            Qt::QueuedConnection);
    }
    if (wait->kind() == CardWait::Kind::Clearing) {
        auto *clearing = static_cast<ClearingWait *>(wait);
        m_clearing = clearing;
        Q_EMIT message(clearing->prompt() + (m_options.count > 0 ? QStringLiteral(" (%1 cards, or Ctrl+C)").arg(m_options.count)
                                                                 : QStringLiteral(" (Ctrl+C ends)")));
        auto told = std::make_shared<int>(0);
        connect(wait, &CardWait::changed, this, [this, clearing, told] {
            if (!clearing->isOpen() || clearing->cleared() == *told)
                return;
            *told = clearing->cleared();
            Q_EMIT message(texts::kClearedCards + QLatin1Char(' ') + QString::number(clearing->cleared()));
            if (m_options.count > 0 && clearing->cleared() >= m_options.count)
                QMetaObject::invokeMethod(clearing, &ClearingWait::finishByUser, Qt::QueuedConnection);
        });
        connect(wait, &CardWait::ended, this, [this] { m_clearing = nullptr; });
    }
    connect(wait, &CardWait::notice, this, [this, wait](const CardWait::Notice &notice) {
        Q_EMIT message(noticeText(notice));
        wait->acknowledge();
    });
    connect(wait, &CardWait::changed, this, [this, wait] {
        if (wait->isOpen())
            Q_EMIT countdown(wait->secondsShown());
    });
    connect(wait, &CardWait::ended, this, [this] { Q_EMIT countdown(-1); });
}

void ReaderJob::watch()
{
    m_phase = Phase::Watching;
    m_presenter = std::make_unique<CardPresenter>(nullptr, nullptr);
    m_presenter->setView(m_options.hex ? CardPresenter::View::Hex : CardPresenter::View::Dec);
    m_station->feedCards(*m_presenter);
    CardLog &log = m_station->cardLog();
    connect(&log, &CardLog::added, this, [this, &log] {
        if (m_phase == Phase::Watching && !log.entries().empty())
            showCard(log.entries().back());
    });
    Q_EMIT message(QStringLiteral("reading cards; Ctrl+C ends"));
    connect(&m_station->session(), &ReaderSession::disconnected, this, [this] {
        if (m_phase == Phase::Watching)
            Q_EMIT message(QStringLiteral("the reader is gone; waiting for it to come back"));
    });
}

void ReaderJob::createMasterCards()
{
    // The reader's configuration, with the file's laid over it when one is given.
    const std::unique_ptr<EditorModel> model = editor();
    const ConfigRead::Result &read = m_connectRead;
    if (read.status != ReaderOperation::Status::Done)
        return operationFailed(read);
    model->applyConfig(read.items, ConfigPlace::Reader);
    if (!m_options.file.isEmpty() && !fileConfig(*model))
        return;
    const ReadMode mode = model->config().readMode;
    if (m_options.protectedMode && !isProtected(mode))
        return end(kFailed, QStringLiteral("--protected needs a protected read mode; the cards' read mode is 0 (%1)")
                                .arg(texts::kReadModes.value(int(ReadMode::Uid))));
    // The highlighted format is the MifareClassic entry when that is the one checked.
    const std::vector<CardFormat> &entries = model->view().formatEntries;
    const int highlighted = !entries.empty() && (model->config().formats & entries.front().bit) ? 0 : -1;
    const ConfigItems items = model->buildItems(ConfigPlace::MasterCards);
    const QString cardType = masterCardTypeWord(mode, highlighted);
    const bool option = isProtected(mode);
    started(m_station->createMasterCards(items, cardType, option, [this](MasterCardsCreate &run) {
        connect(&run, &MasterCardsCreate::finished, this, [this](const MasterCardsCreate::Result &create) {
            Q_EMIT countdown(-1);
            m_fields[QStringLiteral("written")] = create.written;
            if (create.status == ReaderOperation::Status::Done) {
                m_lines << QStringLiteral("%1 master %2 written").arg(create.written).arg(create.written == 1 ? "card" : "cards");
                return end(kDone);
            }
            if (create.status == ReaderOperation::Status::Cancelled && m_interrupted)
                return end(kInterrupted, QStringLiteral("interrupted; %1 of %2 master cards written")
                                             .arg(create.written)
                                             .arg(m_options.count));
            if (!create.report.text.isEmpty())
                return end(kFailed, create.report.text);
            end(kFailed, QStringLiteral("%1 of %2 master cards written").arg(create.written).arg(m_options.count));
        });
    }));
}

void ReaderJob::clearMasterCards()
{
    started(m_station->clearMasterCards([this](MasterCardsClear &run) {
        connect(&run, &MasterCardsClear::finished, this, [this](const MasterCardsClear::Result &clear) {
            m_fields[QStringLiteral("cleared")] = clear.cleared;
            if (clear.status != ReaderOperation::Status::Done && !m_interrupted)
                return operationFailed(clear);
            m_lines << texts::kClearedCards + QLatin1Char(' ') + QString::number(clear.cleared);
            end(kDone);
        });
    }));
}

void ReaderJob::showCard(const CardLogEntry &entry)
{
    QJsonObject o;
    o[QStringLiteral("port")] = port();
    o[QStringLiteral("serial")] = serial();
    // Local time with its offset from UTC, so that a script needs no time zone.
    const QDateTime time = entry.time();
    o[QStringLiteral("time")] = time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
    o[QStringLiteral("kind")] = CardLog::kindName(entry.kind);
    o[QStringLiteral("id")] = entry.shown;
    o[QStringLiteral("hex")] = entry.hex();
    if (!entry.cardType.isEmpty())
        o[QStringLiteral("cardType")] = entry.cardType;
    Q_EMIT cardRead(entry.shown, o);
}

void ReaderJob::stopWatching()
{
    if (m_phase == Phase::Watching)
        end(kDone);
}

} // namespace limra::cli
