#pragma once
// The tab "Защищенные карты": the reader's mode, the three secure-card
// buttons and the group "Зоны прохода" with its own zone list. Opening the
// tab asks the reader's mode; the buttons run the secure-card workflows.
#include <QWidget>
#include <array>

#include "provisioning/securecards.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace limra {

class CardRuns;
class UserDialogs;
class ZoneList;
class ZoneTools;

class SecureCardsPage : public QWidget {
    Q_OBJECT
public:
    SecureCardsPage(CardRuns &runs, UserDialogs &dialogs, QWidget *parent = nullptr);

    // Asks the reader for its mode (the tab was opened).
    void queryMode();
    // Shows a mode, with the buttons and zones it allows.
    void showMode(const SecureModeView &view);
    SecureMode mode() const { return m_mode; }
    // Reader operations may start (none runs).
    void setReaderIdle(bool idle);
    // The pass zones of the tab take the zone tools.
    void useZoneTools(ZoneTools &tools);

private:
    // The buttons that start reader operations.
    QList<QPushButton *> readerButtons() const { return {clearOneButton, clearAllButton, createButton}; }

    QLabel *modeText;
    QPushButton *clearOneButton;
    QPushButton *clearAllButton;
    QPushButton *createButton;
    QGroupBox *zoneGroup;
    ZoneList *zones;

    void startRun(SecureCardsRun::Kind kind, const QString &question);

    CardRuns &m_runs;
    UserDialogs &m_dialogs;
    SecureMode m_mode = SecureMode::Unknown;
    bool m_idle = true;
};

} // namespace limra
