#pragma once
// Secure cards: cards made secure by the USB reader with the object code of
// a master card (and, in the pass-zone mode, pass zones), and cleared again.
// The page "Защищенные карты" asks the reader's mode each time it is opened.
#include <array>

#include "provisioning/cardoperation.h"

namespace limra {

// The reader's read mode as the secure-cards page sees it.
enum class SecureMode { Unknown, Normal, ObjectCode, CodeFromBlock, PassZones };

// What the page offers in a mode.
struct SecureModeView {
    SecureMode mode;
    QString text;      // shown after "Текущая конфигурация считывателя:"
    bool buttons;      // the three secure-card buttons usable
    bool zones;        // the group "Зоны прохода" shown
};
SecureModeView secureModeView(SecureMode mode);

// Asks the reader for its read mode ("0B01"; nothing else is sent, and a
// failure is the mode Unknown).
class SecureModeQuery : public ReaderOperation {
    Q_OBJECT
public:
    struct Result : Outcome {
        SecureMode mode = SecureMode::Unknown;
    };

    using ReaderOperation::ReaderOperation;
    void start();
    SecureMode mode() const { return m_mode; }
    // Nothing is told, whatever happened: the page shows the mode.
    Report report() const override { return Report::none(); }
    Result result() const { return {outcome(), m_mode}; }

Q_SIGNALS:
    void finished(const limra::SecureModeQuery::Result &result);

protected:
    void tellFinished() override { Q_EMIT finished(result()); }

private:
    SecureMode m_mode = SecureMode::Unknown;
};

// The three secure-card workflows. Each starts the reader's card operation;
// the creating and clearing of object codes first wait for the master card
// with the object code, then count the cards until the user finishes.
class SecureCardsRun : public CardOperation {
    Q_OBJECT
public:
    enum class Kind { Create, ClearOne, ClearAll };
    enum class Failure {
        None,
        Refused,             // the reader refused a command: error()
        MasterCardNotTaken,  // the master card with the object code did not come in time
    };
    struct Result : Outcome {
        Kind kind = Kind::Create;
        Failure failure = Failure::None;
        int cards = 0; // cards made or cleared
    };

    using CardOperation::CardOperation;
    // Creating in the pass-zone mode writes the zones (zone 1 first) before it starts.
    void start(Kind kind, SecureMode mode, const std::array<bool, 64> &zones = {});
    Report report() const override;

    Kind kind() const { return m_kind; }
    Failure failure() const { return m_failure; }
    // Cards made or cleared.
    int cards() const { return m_cards; }
    Result result() const { return {outcome(), m_kind, m_failure, m_cards}; }

Q_SIGNALS:
    void finished(const limra::SecureCardsRun::Result &result);

protected:
    void tellFinished() override { Q_EMIT finished(result()); }

private:
    void countCards(quint8 startCommand, const QString &caption, const QString &counterCaption,
                    const QString &finishText);

    Kind m_kind = Kind::Create;
    Failure m_failure = Failure::None;
    int m_cards = 0;
};

} // namespace limra
