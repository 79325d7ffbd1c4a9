#pragma once
// The status bar's text: the reader connected (by USB or BLE, its port and
// serial number), a reader in its loader, the wait for the reader to be
// plugged in again during a firmware update, or the search for a reader with
// why a port that is there cannot be used (a few words, the whole story as
// tooltip). Its link asks for "Настройки подключения".
#include <QObject>
#include <QString>

namespace limra {

class ReaderStation;
class StatusBar;
struct StationStatus;

class ConnectionStatus : public QObject {
    Q_OBJECT
public:
    ConnectionStatus(StatusBar &bar, ReaderStation &station);

Q_SIGNALS:
    // The link was pressed.
    void settingsRequested();

private:
    void setText(const QString &text, const QString &details = QString());
    void clicked(int x);
    void show(const StationStatus &status);

    StatusBar &m_bar;
};

} // namespace limra
