#include "app/ui/connectionstatus.h"

#include "app/ui/statusbar.h"
#include "common/texts.h"
#include "station/station.h"

namespace limra {

ConnectionStatus::ConnectionStatus(StatusBar &bar, ReaderStation &station) : m_bar(bar)
{
    setText(texts::kSearching);
    connect(&m_bar, &StatusBar::clicked, this, &ConnectionStatus::clicked);

    connect(&station, &ReaderStation::statusChanged, this, &ConnectionStatus::show);
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

void ConnectionStatus::show(const StationStatus &status)
{
    const QString serial = QStringLiteral("  (s/n: ") + status.serial + QLatin1Char(')');
    switch (status.state) {
    case StationStatus::State::Searching:
        // Why the reader is not found: a few words, and the whole story as tooltip.
        if (status.trouble.kind == PortTrouble::Kind::None)
            setText(texts::kSearching);
        else
            setText(texts::kSearching + QStringLiteral(" (") + status.trouble.shortText() + QLatin1Char(')'),
                    status.trouble.details());
        break;
    case StationStatus::State::Connected:
        setText((status.ble ? texts::kConnectedBle : texts::kConnectedUsb) + status.port + serial);
        break;
    case StationStatus::State::InLoader:
        setText(QStringLiteral("Считыватель в режиме загрузчика: ") + status.port
                    + (status.serial.isEmpty() ? QString() : serial),
                QStringLiteral("Обновление микропрограммы не завершено. Завершите его на вкладке «%1».")
                    .arg(texts::kFirmwareCaption));
        break;
    case StationStatus::State::Replugging:
        // While the update waits for the reader to be plugged in again, the status bar says so too.
        setText(QStringLiteral("Отключите считыватель и подключите его снова: ") + status.port,
                QStringLiteral("Обновление микропрограммы продолжится, когда считыватель будет подключён "
                               "заново."));
        break;
    }
}

} // namespace limra

#include "moc_connectionstatus.cpp"
