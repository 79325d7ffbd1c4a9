#include "app/ui/connectionstatus.h"

#include "app/ui/statusbar.h"
#include "common/texts.h"
#include "firmware/update.h"
#include "link/discovery.h"
#include "link/session.h"
#include "station/station.h"

namespace limra {

ConnectionStatus::ConnectionStatus(StatusBar &bar, ReaderStation &station) : m_bar(bar), m_station(station)
{
    setText(texts::kSearching);
    connect(&m_bar, &StatusBar::clicked, this, &ConnectionStatus::clicked);

    ReaderSession &session = m_station.session();
    connect(&session, &ReaderSession::connected, this, &ConnectionStatus::readerConnected);
    connect(&session, &ReaderSession::loaderConnected, this, &ConnectionStatus::loaderConnected);
    connect(&session, &ReaderSession::disconnected, this, [this] { setText(texts::kSearching); });
    // While the update waits for the reader to be plugged in again, the status bar says so too.
    connect(&m_station, &ReaderStation::runStarted, this, [this](ReaderOperation *run) {
        auto *update = qobject_cast<FirmwareUpdate *>(run);
        if (!update)
            return;
        connect(update, &ReaderOperation::changed, this, [this, update] {
            if (update->awaitingReplug() && m_station.session().inLoader())
                setText(QStringLiteral("Отключите считыватель и подключите его снова: ")
                            + m_station.session().portName(),
                        QStringLiteral("Обновление микропрограммы продолжится, когда считыватель будет подключён "
                                       "заново."));
        });
    });
    connect(&m_station.discovery(), &ReaderDiscovery::troubleChanged, this, [this](const PortTrouble &trouble) {
        if (m_station.session().portName().isEmpty()) {
            // Why the reader is not found: a few words, and the whole story as tooltip.
            if (trouble.kind == PortTrouble::Kind::None)
                setText(texts::kSearching);
            else
                setText(texts::kSearching + QStringLiteral(" (") + trouble.shortText() + QLatin1Char(')'),
                        trouble.details());
        }
    });
}

void ConnectionStatus::setText(const QString &text, const QString &details)
{
    m_bar.setStatusText(text, details);
}

void ConnectionStatus::clicked(int x)
{
    if (m_bar.insideLink(x))
        Q_EMIT settingsRequested();
}

void ConnectionStatus::readerConnected()
{
    const ReaderSession &session = m_station.session();
    setText((session.isBle() ? texts::kConnectedBle : texts::kConnectedUsb) + session.portName()
            + QStringLiteral("  (s/n: ") + session.serial() + QLatin1Char(')'));
}

void ConnectionStatus::loaderConnected()
{
    const ReaderSession &session = m_station.session();
    setText(QStringLiteral("Считыватель в режиме загрузчика: ") + session.portName()
                + (session.serial().isEmpty() ? QString()
                                              : QStringLiteral("  (s/n: ") + session.serial() + QLatin1Char(')')),
            QStringLiteral("Обновление микропрограммы не завершено. Завершите его на вкладке «%1».")
                .arg(texts::kFirmwareCaption));
}

} // namespace limra

#include "moc_connectionstatus.cpp"
