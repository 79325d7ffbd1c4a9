#pragma once
// Secure cards: cards made secure by the USB reader with the object code of
// a master card (and, in the pass-zone mode, pass zones), and cleared again.
// The page "Защищенные карты" asks the reader's mode each time it is opened.
#include <QObject>
#include <array>

#include "link/operation.h"

namespace limra {

class CardWaits;

class SecureCardOperations : public QObject, public ReaderOperation {
    Q_OBJECT
public:
    // The reader's read mode as the page shows it.
    enum class Mode { Unknown, Normal, ObjectCode, CodeFromBlock, PassZones };
    struct ModeView {
        Mode mode;
        QString text;      // shown after "Текущая конфигурация считывателя:"
        bool buttons;      // the three secure-card buttons usable
        bool zones;        // the group "Зоны прохода" shown
    };

    SecureCardOperations(ReaderLink &link, UserDialogs &dialogs, CardWaits &waits, QObject *parent = nullptr);

    // Asks the reader for its read mode ("0B01"; nothing else is sent, and a
    // failure shows nothing).
    ModeView queryMode();
    Mode mode() const { return m_mode; }

    // "Создать защищенные карты - записать код объекта / зоны прохода", with
    // the zones of the page's own grid (zone 1 first).
    void create(const std::array<bool, 64> &zones);
    // "Очистить защищенные карты - удалить код объекта / зоны прохода".
    void clearOneObjectCode();
    // "Очистить защищенные карты - удалить все коды объектов / зоны прохода".
    void clearAllObjectCodes();

    static ModeView modeView(Mode mode);

private:
    // Starts the card operation, waits while the master card and then the
    // cards are presented, and tells `failure` when the master card was not
    // taken.
    void countCards(const QString &startCommand, const QString &caption, const QString &counterCaption,
                    const QString &finishText, const QString &failure);

    CardWaits &m_waits;
    Mode m_mode = Mode::Unknown;
};

} // namespace limra
