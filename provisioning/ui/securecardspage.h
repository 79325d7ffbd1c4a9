#pragma once
// The tab "Защищенные карты": the reader's mode, the three secure-card
// buttons and the group "Зоны прохода" with its own zone list.
#include <QWidget>
#include <array>

#include "provisioning/securecards.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace limra {

class ZoneList;

class SecureCardsPage : public QWidget {
    Q_OBJECT
public:
    explicit SecureCardsPage(QWidget *parent = nullptr);

    // Shows the mode the reader reported, with the buttons and zones it allows.
    void showMode(const SecureCardOperations::ModeView &view);

    QLabel *modeText;
    QPushButton *clearOneButton;
    QPushButton *clearAllButton;
    QPushButton *createButton;
    QGroupBox *zoneGroup;
    ZoneList *zones;
};

} // namespace limra
